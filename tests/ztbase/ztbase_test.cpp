// The base-object library: references and disposal, values that name no live
// object, interface lookup and registration, and many threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <zt/ztbase.h>

#include "ztbase/handle_codec.hpp"

namespace {

const int32_t kInvalidArgument = static_cast<int32_t>(0x80000002u);

uint64_t test_iid() {
    static const uint64_t id = ZtRegisterInterface("ZTBASE.TEST.OBJECT");
    return id;
}

// An object in base-object storage that counts its disposals, answers from an
// editable listing and can run a hook while it is being disposed.
struct TestObject : ZTK::IDisposableType {
    explicit TestObject(std::atomic<int>* d) : disposals(d) { listing.push_back({test_iid(), this}); }
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override {
        if (fail_listing)
            return static_cast<int32_t>(0x80000001u);
        if (pairs && *count < listing.size())
            return kInvalidArgument;
        if (pairs)
            std::copy(listing.begin(), listing.end(), pairs);
        *count = listing.size();
        return 0;
    }
    void Dispose() override {
        ++*disposals;
        if (on_dispose)
            on_dispose();
        this->~TestObject();
    }
    std::atomic<int>* disposals;
    std::vector<ZTK::ZtInterfacePair> listing;
    std::function<void()> on_dispose;
    bool fail_listing = false;
};

// A bound handle with one reference; *object (if asked) is the object.
ZTHANDLE make_test_object(std::atomic<int>& disposals, TestObject** object = nullptr) {
    void* storage = nullptr;
    ZTHANDLE h = ZtCreateObjectStorage(sizeof(TestObject), &storage);
    auto* made = ::new (storage) TestObject(&disposals);
    EXPECT_EQ(ZtBindImplementation(h, static_cast<ZTK::IDisposableType*>(made)), 0);
    if (object)
        *object = made;
    return h;
}

// Every call on v answers "not an object"; the mutating ones change nothing.
void expect_dead(ZTHANDLE v) {
    SCOPED_TRACE(::testing::Message() << std::hex << v);
    EXPECT_EQ(ZtIsObject(v), 0);
    EXPECT_LT(ZtCheckedAddRef(v), 0);
    EXPECT_EQ(ZtRefCount(v), -1);
    void* iface = nullptr;
    EXPECT_LT(ZtQueryInterface(v, test_iid(), &iface), 0);
    EXPECT_EQ(iface, nullptr);
    std::atomic<int> unused{0};
    TestObject probe(&unused);
    EXPECT_EQ(ZtBindImplementation(v, static_cast<ZTK::IDisposableType*>(&probe)), kInvalidArgument);
    ZtAddRef(v);
    ZtRelease(v);
    ZtRelease(v);
    ZtAddLinkRef(v);
    ZtReleaseLinkRef(v);
    ZtReleaseLinkRef(v);
}

} // namespace

TEST(ZtLifecycle, LinkReferencesDoNotKeepTheObjectAlive) {
    std::atomic<int> disposals{0}, others{0};
    ZTHANDLE h = make_test_object(disposals);
    ZtAddLinkRef(h);
    ZtAddLinkRef(h);
    ZtRelease(h);
    EXPECT_EQ(disposals, 1);
    EXPECT_EQ(ZtIsObject(h), 0);
    EXPECT_LT(ZtCheckedAddRef(h), 0);
    ZtAddRef(h);
    EXPECT_EQ(ZtRefCount(h), -1);
    void* iface = nullptr;
    EXPECT_LT(ZtQueryInterface(h, test_iid(), &iface), 0);
    // While the link holds the value, new handles never take it over.
    std::vector<ZTHANDLE> fresh;
    for (int i = 0; i < 64; ++i)
        EXPECT_NE(fresh.emplace_back(make_test_object(others)), h);
    ZtReleaseLinkRef(h);
    ZtReleaseLinkRef(h);
    ZtReleaseLinkRef(h); // one too many: ignored
    for (ZTHANDLE f : fresh) {
        EXPECT_EQ(ZtRefCount(f), 1);
        ZtRelease(f);
    }
    EXPECT_EQ(others, 64);
    EXPECT_EQ(disposals, 1);
}

TEST(ZtHandleValues, StaleHandlesStayDeadAfterTheirSlotIsReused) {
    std::atomic<int> disposals{0};
    std::vector<ZTHANDLE> stale;
    ZTHANDLE live = 0;
    int reused = 0;
    for (int i = 0; i < 200; ++i) {
        ZTHANDLE h = make_test_object(disposals);
        for (ZTHANDLE old : stale) {
            ASSERT_NE(old, h);
            reused += ZTK::detail::handle_index(old) == ZTK::detail::handle_index(h);
        }
        if (live)
            stale.push_back(live);
        ZtRelease(live);
        live = h;
    }
    ASSERT_GT(reused, 0); // the loop did exercise slot reuse
    for (ZTHANDLE old : stale)
        expect_dead(old);
    EXPECT_EQ(ZtRefCount(live), 1);
    EXPECT_EQ(disposals, 199);
    ZtRelease(live);
}

TEST(ZtStress, SharedHandlesAreDisposedExactlyOnce) {
    constexpr int kThreads = 4, kIterations = 20000;
    // Disposals per object, by the number the object was made with.
    auto disposed = std::make_unique<std::atomic<int>[]>(kThreads * kIterations);
    std::atomic<int> made{0}, violations{0};
    std::array<std::atomic<ZTHANDLE>, 32> pool{}; // each nonzero entry owns one reference
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 rng(t + 1);
            for (int i = 0; i < kIterations; ++i) {
                auto& entry = pool[rng() % pool.size()];
                switch (rng() % 3) {
                case 0: // replace
                    ZtRelease(entry.exchange(make_test_object(disposed[made++])));
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
                    if (ZtQueryInterface(h, test_iid(), &iface) != 0 || *static_cast<TestObject*>(iface)->disposals != 0)
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
    for (int id = 0; id < made; ++id)
        ASSERT_EQ(disposed[id], 1) << id;
}
