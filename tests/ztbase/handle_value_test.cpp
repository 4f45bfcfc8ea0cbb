// Values that do not name a live object: stale handles after slot reuse and
// made-up values. They are answered as dead and never touch a live object.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "test_object.hpp"
#include "ztbase/handle_codec.hpp"

using namespace ztbase_test;

namespace {

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
    EXPECT_EQ(ZtBindImplementation(v, static_cast<ZTK::IDisposableType*>(&probe)),
              static_cast<int32_t>(0x80000002u));
    ZtAddRef(v);
    ZtRelease(v);
    ZtRelease(v);
    ZtAddLinkRef(v);
    ZtReleaseLinkRef(v);
    ZtReleaseLinkRef(v);
}

} // namespace

TEST(ZtHandleValues, StaleHandlesStayDeadAfterTheirSlotIsReused) {
    std::atomic<int> disposals{0};
    std::vector<ZTHANDLE> stale;
    ZTHANDLE live = 0;
    int reused = 0;
    for (int i = 0; i < 200; ++i) {
        ZTHANDLE h = make_test_object(disposals);
        ASSERT_NE(h, 0u);
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
    std::vector<ZTHANDLE> live;
    for (int i = 0; i < 16; ++i)
        live.push_back(make_test_object(disposals));

    std::vector<ZTHANDLE> made_up = {0, 1, ~0ull, 0xA700000000000000ull};
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
