// The base-object library: references and disposal, values that name no live
// object, interface lookup, and many threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include <zt/ztbase.h>

#include "ztbase/handle_codec.hpp"
#include "ztbase/handle_table.hpp"

namespace {

const int32_t kInvalidArgument = static_cast<int32_t>(0x80000002u);

uint64_t test_iid() {
    static const uint64_t id = ZtRegisterInterface("ZTBASE.TEST.OBJECT");
    return id;
}

// An object in base-object storage that counts its disposals.
struct TestObject : ZTK::IDisposableType {
    explicit TestObject(std::atomic<int>* d) : disposals(d) {}
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override {
        if (pairs && *count < 1)
            return kInvalidArgument;
        if (pairs)
            *pairs = {test_iid(), this};
        *count = 1;
        return 0;
    }
    void Dispose() override {
        ++*disposals;
        this->~TestObject();
    }
    std::atomic<int>* disposals;
};

// A bound handle with one reference.
ZTHANDLE make_test_object(std::atomic<int>& disposals) {
    void* storage = nullptr;
    ZTHANDLE h = ZtCreateObjectStorage(sizeof(TestObject), &storage);
    EXPECT_EQ(ZtBindImplementation(h, static_cast<ZTK::IDisposableType*>(::new (storage) TestObject(&disposals))), 0);
    return h;
}

// Every call on v answers "not an object"; the mutating ones change nothing.
void expect_dead(ZTHANDLE v) {
    SCOPED_TRACE(::testing::Message() << std::hex << v);
    std::atomic<int> unused{0};
    TestObject probe(&unused);
    EXPECT_EQ(ZtBindImplementation(v, static_cast<ZTK::IDisposableType*>(&probe)), kInvalidArgument);
    ZtAddRef(v);
    ZtRelease(v);
    ZtRelease(v);
    ZtAddLinkRef(v);
    ZtReleaseLinkRef(v);
    ZtReleaseLinkRef(v);
    EXPECT_EQ(ZtIsObject(v), 0);
    EXPECT_LT(ZtCheckedAddRef(v), 0);
    EXPECT_EQ(ZtRefCount(v), -1);
    void* iface = nullptr;
    EXPECT_LT(ZtQueryInterface(v, test_iid(), &iface), 0);
    EXPECT_EQ(iface, nullptr);
}

} // namespace

// A released value answers as dead even once its slot holds another object,
// and a value held by a link alone is never handed out again.
TEST(ZtHandleValues, ReleasedValuesStayDeadAndLinkedOnesAreNotReused) {
    std::atomic<int> disposals{0};
    ZTHANDLE linked = make_test_object(disposals);
    ZtAddLinkRef(linked);
    ZtAddLinkRef(linked);
    ZtRelease(linked);
    EXPECT_EQ(disposals, 1);
    expect_dead(linked);
    std::vector<ZTHANDLE> stale;
    ZTHANDLE live = 0;
    int reused = 0;
    for (int i = 0; i < 200; ++i) {
        ZTHANDLE h = make_test_object(disposals);
        ASSERT_NE(h, linked);
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
    for (int i = 0; i < 3; ++i)
        ZtReleaseLinkRef(linked); // the last one too many: ignored
    for (ZTHANDLE old : stale)
        expect_dead(old);
    EXPECT_EQ(ZtRefCount(live), 1);
    EXPECT_EQ(disposals, 200);
    ZtRelease(live);
}

// Handles made while the table grows, many times over, each name an object of their own.
TEST(ZtHandleValues, ManyLiveHandlesEachNameTheirOwnObject) {
    std::atomic<int> disposals{0};
    std::vector<ZTHANDLE> handles(70000);
    for (ZTHANDLE& h : handles)
        ASSERT_NE(h = make_test_object(disposals), 0u);
    std::vector<void*> objects(handles.size());
    for (size_t i = 0; i < handles.size(); ++i)
        ASSERT_EQ(ZtQueryInterface(handles[i], test_iid(), &objects[i]), 0);
    std::sort(objects.begin(), objects.end());
    EXPECT_EQ(std::adjacent_find(objects.begin(), objects.end()), objects.end());
    for (ZTHANDLE h : handles)
        ZtRelease(h);
    EXPECT_EQ(disposals, 70000);
    EXPECT_TRUE(std::none_of(handles.begin(), handles.end(), ZtIsObject));
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

// Runs of handles made at once, from several threads while single handles come
// and go, across the table's blocks: each names its own object, holds the
// links asked for, and a run with a null object makes nothing.
TEST(ZtHandleRuns, RunsFromThreadsCrossBlocksAndHoldTheirLinks) {
    const size_t run = ZTK::detail::CHandleTable::kSlotsPerBlock / 3 + 7;
    constexpr int kThreads = 3, kRuns = 4;
    std::vector<std::unique_ptr<std::atomic<int>[]>> disposed(kThreads);
    // The objects' memory stays the test's: dispose only destroys them.
    struct alignas(TestObject) Cell {
        unsigned char bytes[sizeof(TestObject)];
    };
    std::vector<std::unique_ptr<Cell[]>> cells(kThreads);
    std::vector<std::vector<ZTHANDLE>> handles(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        disposed[t] = std::make_unique<std::atomic<int>[]>(run * kRuns);
        cells[t] = std::make_unique<Cell[]>(run * kRuns);
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRuns; ++r) {
                std::vector<void*> objects(run);
                for (size_t i = 0; i < run; ++i)
                    objects[i] = static_cast<ZTK::IDisposableType*>(
                        ::new (&cells[t][r * run + i]) TestObject(&disposed[t][r * run + i]));
                std::vector<ZTHANDLE> made(run);
                ASSERT_EQ(ZtCreateBoundHandles(run, objects.data(), 1, made.data()), 0);
                handles[t].insert(handles[t].end(), made.begin(), made.end());
                std::atomic<int> single{0};
                ZtRelease(make_test_object(single));
                for (size_t i = 0; i < run; i += run / 5) {
                    void* iface = nullptr;
                    ASSERT_EQ(ZtQueryInterface(made[i], test_iid(), &iface), 0);
                    ASSERT_EQ(iface, objects[i]);
                }
            }
        });
    }
    for (auto& t : threads)
        t.join();
    std::vector<ZTHANDLE> all;
    for (auto& h : handles)
        all.insert(all.end(), h.begin(), h.end());
    ASSERT_EQ(all.size(), kThreads * kRuns * run);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());

    // Two more links on the first handle, through one call.
    ZtAddLinkRefs(std::array<ZTHANDLE, 2>{all[0], all[0]}.data(), 2);
    for (ZTHANDLE h : all)
        ZtRelease(h);
    for (auto& d : disposed)
        for (size_t i = 0; i < run * kRuns; ++i)
            ASSERT_EQ(d[i], 1);
    // Dead, but held by their links: no new handle takes their slots.
    std::atomic<int> later{0};
    TestObject unused(&later);
    std::vector<ZTHANDLE> fresh(run);
    std::vector<void*> objects(run, static_cast<ZTK::IDisposableType*>(&unused));
    objects[run - 1] = nullptr;
    EXPECT_NE(ZtCreateBoundHandles(run, objects.data(), 0, fresh.data()), 0);
    EXPECT_TRUE(std::all_of(fresh.begin(), fresh.end(), [](ZTHANDLE h) { return h == 0; }));
    ZTHANDLE next = make_test_object(later);
    for (ZTHANDLE h : all) {
        ASSERT_EQ(ZtIsObject(h), 0);
        ASSERT_NE(ZTK::detail::handle_index(h), ZTK::detail::handle_index(next));
    }
    ZtRelease(next);
    for (int k = 0; k < 2; ++k)
        ZtReleaseLinkRef(all[0]);
    for (ZTHANDLE h : all)
        ZtReleaseLinkRef(h);
    EXPECT_EQ(later, 1);
}

// Released together as one by one: a repeated value loses a reference for
// each mention, 0 and dead values are passed over, and link references go
// together too.
TEST(ZtHandleRuns, ReleasedTogetherAsOneByOne) {
    std::atomic<int> a{0}, b{0}, c{0};
    const ZTHANDLE ha = make_test_object(a), hb = make_test_object(b), dead = make_test_object(c);
    ZtRelease(dead);
    ZtAddRef(ha);
    ZtAddLinkRefs(std::array<ZTHANDLE, 2>{hb, hb}.data(), 2);
    const ZTHANDLE run[] = {ha, 0, hb, dead, ha};
    ZtReleaseHandles(run, 5);
    EXPECT_EQ(a + b + c, 3);
    expect_dead(ha);
    ZtReleaseLinkRefs(std::array<ZTHANDLE, 2>{hb, hb}.data(), 2);
    expect_dead(hb);
}
