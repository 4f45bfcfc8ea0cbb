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

TEST(ZtLifecycle, DisposesExactlyOnceWhenTheLastOrdinaryReferenceGoes) {
    for (int refs : {1, 5}) {
        SCOPED_TRACE(refs);
        std::atomic<int> disposals{0};
        ZTHANDLE h = make_test_object(disposals);
        for (int i = 1; i < refs; ++i)
            ASSERT_GE(ZtCheckedAddRef(h), 0);
        EXPECT_EQ(ZtRefCount(h), refs);
        for (int i = 1; i < refs; ++i)
            ZtRelease(h);
        EXPECT_EQ(disposals, 0);
        ZtRelease(h);
        EXPECT_EQ(disposals, 1);
        expect_dead(h); // also releases the dead value again
        EXPECT_EQ(disposals, 1);
    }
}

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

TEST(ZtLifecycle, DisposeMayReleaseOtherHandlesAndObserveItsOwn) {
    std::atomic<int> disposals{0};
    TestObject *a_obj = nullptr, *b_obj = nullptr;
    ZTHANDLE a = make_test_object(disposals, &a_obj), b = make_test_object(disposals, &b_obj);
    ZTHANDLE c = make_test_object(disposals);
    ZtAddLinkRef(a);
    std::string order;
    bool a_dead_inside = false;
    a_obj->on_dispose = [&] {
        order += 'a';
        a_dead_inside = ZtIsObject(a) == 0 && ZtCheckedAddRef(a) < 0;
        ZtReleaseLinkRef(a); // the slot stays until this dispose returns
        ZtRelease(b);
        std::atomic<int> temp{0}; // the table is usable from within dispose
        ZtRelease(make_test_object(temp));
    };
    b_obj->on_dispose = [&] { order += 'b'; ZtRelease(c); };
    ZtRelease(a);
    EXPECT_EQ(order, "ab");
    EXPECT_TRUE(a_dead_inside);
    EXPECT_EQ(disposals, 3);
    EXPECT_EQ(ZtIsObject(c), 0);
}

TEST(ZtLifecycle, StorageIsZeroedAlignedAndFreedEvenWhenUnbound) {
    for (uint64_t size : {0u, 1u, 24u, 4096u}) {
        void* storage = nullptr;
        ZTHANDLE h = ZtCreateObjectStorage(size, &storage);
        ASSERT_NE(h, 0u);
        ASSERT_NE(storage, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(storage) % alignof(std::max_align_t), 0u);
        auto* bytes = static_cast<unsigned char*>(storage);
        EXPECT_TRUE(std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; })) << size;
        EXPECT_EQ(ZtIsObject(h), 1);
        ZtRelease(h); // unbound: the storage goes, no dispose (sanitizer build checks leaks)
    }
    void* storage = reinterpret_cast<void*>(1);
    EXPECT_EQ(ZtCreateObjectStorage(UINT64_MAX, &storage), 0u);
    EXPECT_EQ(storage, nullptr);
    EXPECT_EQ(ZtCreateObjectStorage(8, nullptr), 0u);
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

TEST(ZtHandleValues, MadeUpValuesAreNotObjects) {
    std::atomic<int> disposals{0};
    std::vector<ZTHANDLE> live, made_up = {0, 1, ~0ull, 0xA700000000000000ull};
    for (int i = 0; i < 16; ++i)
        live.push_back(make_test_object(disposals));
    for (ZTHANDLE h : live) {
        made_up.push_back(h + 1);
        made_up.push_back(h - 1);
        for (int bit = 0; bit < 64; ++bit)
            made_up.push_back(h ^ (1ull << bit));
    }
    std::mt19937_64 rng(12345);
    for (int i = 0; i < 20000; ++i)
        made_up.push_back(rng());
    for (ZTHANDLE v : made_up)
        expect_dead(v);
    for (ZTHANDLE h : live) {
        EXPECT_EQ(ZtRefCount(h), 1);
        ZtRelease(h);
    }
    EXPECT_EQ(disposals, 16);
}

TEST(ZtBind, RejectsNullDeadAndAlreadyBoundHandles) {
    std::atomic<int> disposals{0};
    ZTHANDLE bound = make_test_object(disposals), released = ZtCreateHandle(), unbound = ZtCreateHandle();
    ZtRelease(released);
    TestObject object(&disposals);
    auto* obj = static_cast<ZTK::IDisposableType*>(&object);
    struct Case { const char* what; ZTHANDLE h; ZTK::IDisposableType* object; };
    for (const Case& c : {Case{"null object", unbound, nullptr}, Case{"already bound", bound, obj},
                          Case{"released handle", released, obj}, Case{"null handle", 0, obj}}) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ZtBindImplementation(c.h, c.object), kInvalidArgument);
    }
    ZtRelease(unbound); // still unbound: nothing is disposed
    ZtRelease(bound);
    EXPECT_EQ(disposals, 1);
}

TEST(ZtQueryInterface, AnswersFromTheObjectsListingWithoutTakingAReference) {
    std::atomic<int> disposals{0};
    TestObject* object = nullptr;
    ZTHANDLE h = make_test_object(disposals, &object);
    int markers[20];
    for (int& m : markers) // more than fit the lookup's small buffer
        object->listing.push_back({ZtRegisterInterface(("ZTBASE.TEST." + std::to_string(&m - markers)).c_str()), &m});

    void* iface = nullptr;
    EXPECT_EQ(ZtQueryInterface(h, test_iid(), &iface), 0);
    EXPECT_EQ(iface, static_cast<ZTK::IDisposableType*>(object));
    EXPECT_EQ(ZtQueryInterface(h, ZtRegisterInterface("ZTBASE.TEST.19"), &iface), 0);
    EXPECT_EQ(iface, &markers[19]);
    EXPECT_EQ(ZtRefCount(h), 1);

    EXPECT_LT(ZtQueryInterface(h, ZtRegisterInterface("ZTBASE.TEST.UNLISTED"), &iface), 0);
    EXPECT_EQ(iface, nullptr);
    EXPECT_LT(ZtQueryInterface(h, test_iid(), nullptr), 0);
    object->fail_listing = true;
    EXPECT_LT(ZtQueryInterface(h, test_iid(), &iface), 0);
    object->fail_listing = false;
    object->listing.clear();
    EXPECT_LT(ZtQueryInterface(h, test_iid(), &iface), 0);

    ZTHANDLE unbound = ZtCreateHandle();
    EXPECT_LT(ZtQueryInterface(unbound, test_iid(), &iface), 0);
    ZtRelease(unbound);
    ZtRelease(h);
    EXPECT_EQ(disposals, 1);
}

TEST(ZtRegisterInterface, SameNameSameIdNeverZeroOrOne) {
    EXPECT_EQ(ZtRegisterInterface(nullptr), 0u);
    EXPECT_EQ(ZtRegisterInterface(""), 0u);
    // Registered from several threads at once, each name still gets one id.
    std::vector<std::vector<uint64_t>> seen(4);
    std::vector<std::thread> threads;
    for (auto& ids : seen)
        threads.emplace_back([&ids] {
            for (int i = 0; i < 50; ++i)
                ids.push_back(ZtRegisterInterface(("ZTBASE.REG." + std::to_string(i)).c_str()));
        });
    for (auto& t : threads)
        t.join();
    for (auto& ids : seen)
        EXPECT_EQ(ids, seen[0]);
    std::set<uint64_t> distinct(seen[0].begin(), seen[0].end());
    EXPECT_EQ(distinct.size(), 50u);
    EXPECT_FALSE(distinct.count(0) || distinct.count(1));
    EXPECT_EQ(ZtRegisterInterface("ZTBASE.REG.7"), seen[0][7]);
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
