// Ordinary and link references: when the object goes, and what a handle
// answers afterwards.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "test_object.hpp"

using namespace ztbase_test;

TEST(ZtLifecycle, DisposesExactlyOnceWhenTheLastOrdinaryReferenceGoes) {
    for (int refs : {1, 2, 5}) {
        SCOPED_TRACE(refs);
        std::atomic<int> disposals{0};
        ZTHANDLE h = make_test_object(disposals);
        ASSERT_NE(h, 0u);
        for (int i = 1; i < refs; ++i)
            ASSERT_GE(ZtCheckedAddRef(h), 0);
        EXPECT_EQ(ZtRefCount(h), refs);
        for (int i = 1; i < refs; ++i)
            ZtRelease(h);
        EXPECT_EQ(disposals, 0);
        EXPECT_EQ(ZtRefCount(h), 1);
        ZtRelease(h);
        EXPECT_EQ(disposals, 1);
        // Everything on the dead value is a harmless no-op.
        ZtRelease(h);
        ZtAddRef(h);
        ZtRelease(h);
        EXPECT_EQ(disposals, 1);
        EXPECT_EQ(ZtIsObject(h), 0);
        EXPECT_EQ(ZtRefCount(h), -1);
    }
}

TEST(ZtLifecycle, LinkReferencesDoNotKeepTheObjectAlive) {
    std::atomic<int> disposals{0};
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
    std::atomic<int> others{0};
    ZTHANDLE fresh[64];
    for (ZTHANDLE& f : fresh) {
        f = make_test_object(others);
        EXPECT_NE(f, h);
    }
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
    ZTHANDLE a = make_test_object(disposals, &a_obj);
    ZTHANDLE b = make_test_object(disposals, &b_obj);
    ZTHANDLE c = make_test_object(disposals);
    ZtAddLinkRef(a);
    std::string order;
    bool a_dead_inside = false;
    a_obj->on_dispose_ = [&] {
        order += 'a';
        a_dead_inside = ZtIsObject(a) == 0 && ZtCheckedAddRef(a) < 0;
        ZtReleaseLinkRef(a); // the slot stays until this dispose returns
        ZtRelease(b);
        std::atomic<int> temp{0}; // the table is usable from within dispose
        ZtRelease(make_test_object(temp));
    };
    b_obj->on_dispose_ = [&] { order += 'b'; ZtRelease(c); };
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
        for (uint64_t i = 0; i < size; ++i)
            ASSERT_EQ(bytes[i], 0) << i;
        EXPECT_EQ(ZtIsObject(h), 1);
        ZtRelease(h); // unbound: the storage goes, no dispose (sanitizer build checks leaks)
    }
    void* storage = reinterpret_cast<void*>(1);
    EXPECT_EQ(ZtCreateObjectStorage(UINT64_MAX, &storage), 0u);
    EXPECT_EQ(storage, nullptr);
    EXPECT_EQ(ZtCreateObjectStorage(8, nullptr), 0u);
}
