// Several threads creating, sharing, referencing and releasing objects.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include <zt/ztbase.h>

namespace {

constexpr int kThreads = 4;
constexpr int kIterations = 20000;
constexpr int kMaxObjects = kThreads * kIterations;

// Disposals per object, indexed by the number the object was made with.
std::unique_ptr<std::atomic<int>[]> g_disposed;
std::atomic<int> g_made{0};

struct StressObject : ZTK::IDisposableType {
    explicit StressObject(int id) : id_(id) {}
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override {
        if (pairs)
            pairs[0] = {2, this};
        *count = 1;
        return 0;
    }
    void Dispose() override {
        ++g_disposed[id_];
        this->~StressObject();
    }
    int id_;
};

ZTHANDLE make_stress_object() {
    void* storage = nullptr;
    ZTHANDLE h = ZtCreateObjectStorage(sizeof(StressObject), &storage);
    auto* object = ::new (storage) StressObject(g_made++);
    ZtBindImplementation(h, static_cast<ZTK::IDisposableType*>(object));
    return h;
}

} // namespace

TEST(ZtStress, SharedHandlesAreDisposedExactlyOnce) {
    g_disposed = std::make_unique<std::atomic<int>[]>(kMaxObjects);
    // Each nonzero entry owns one reference.
    std::array<std::atomic<ZTHANDLE>, 32> pool{};
    std::vector<std::thread> threads;
    std::atomic<int> violations{0};
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 rng(t + 1);
            for (int i = 0; i < kIterations; ++i) {
                auto& entry = pool[rng() % pool.size()];
                switch (rng() % 3) {
                case 0: // replace
                    ZtRelease(entry.exchange(make_stress_object()));
                    break;
                case 1: // drop
                    ZtRelease(entry.exchange(0));
                    break;
                default: { // borrow: the value may die at any moment before the add
                    ZTHANDLE h = entry.load();
                    if (ZtCheckedAddRef(h) < 0)
                        break;
                    ZtAddLinkRef(h);
                    void* iface = nullptr;
                    if (ZtQueryInterface(h, 2, &iface) != 0 ||
                        g_disposed[static_cast<StressObject*>(iface)->id_] != 0)
                        ++violations;
                    ZtRelease(h);
                    if (ZtCheckedAddRef(h) >= 0)
                        ZtRelease(h);
                    ZtReleaseLinkRef(h);
                }
                }
            }
        });
    for (auto& t : threads)
        t.join();
    for (auto& entry : pool)
        ZtRelease(entry.exchange(0));
    EXPECT_EQ(violations, 0);
    for (int id = 0; id < g_made; ++id)
        ASSERT_EQ(g_disposed[id], 1) << id;
}
