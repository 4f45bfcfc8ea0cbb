// Binding, interface lookup through the object's listing, and registration.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "test_object.hpp"

using namespace ztbase_test;

namespace {
const int32_t kInvalidArgument = static_cast<int32_t>(0x80000002u);
}

TEST(ZtBind, RejectsNullDeadAndAlreadyBoundHandles) {
    std::atomic<int> disposals{0};
    ZTHANDLE bound = make_test_object(disposals);
    ZTHANDLE released = ZtCreateHandle();
    ZtRelease(released);
    ZTHANDLE unbound = ZtCreateHandle();
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
        object->listing_.push_back({ZtRegisterInterface(("ZTBASE.TEST." + std::to_string(&m - markers)).c_str()), &m});

    void* iface = nullptr;
    EXPECT_EQ(ZtQueryInterface(h, test_iid(), &iface), 0);
    EXPECT_EQ(iface, static_cast<ZTK::IDisposableType*>(object));
    EXPECT_EQ(ZtQueryInterface(h, ZtRegisterInterface("ZTBASE.TEST.19"), &iface), 0);
    EXPECT_EQ(iface, &markers[19]);
    EXPECT_EQ(ZtRefCount(h), 1);

    EXPECT_LT(ZtQueryInterface(h, ZtRegisterInterface("ZTBASE.TEST.UNLISTED"), &iface), 0);
    EXPECT_EQ(iface, nullptr);
    EXPECT_LT(ZtQueryInterface(h, test_iid(), nullptr), 0);
    object->fail_listing_ = true;
    EXPECT_LT(ZtQueryInterface(h, test_iid(), &iface), 0);
    object->fail_listing_ = false;
    object->listing_.clear();
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
