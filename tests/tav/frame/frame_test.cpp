#include <atomic>
#include <functional>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "support/reports.hpp"
#include "tav/frame/call_frame.hpp"
#include "tav/frame/interfaces.hpp"
#include "tav/frame/make_object.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;
using tav_test::ReportLog;

namespace {

std::atomic<int> g_destroyed{0};

// An interface with an empty stored form.
template <class I>
class WithoutStoredForm : public I {
public:
    void prepare() override {}
    vxIO::xriff_fixed_string<8> chunk_type() const override { return {}; }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return {}; }
    uint64_t chunk_size() const override { return 0; }
    const void* chunk_data() const override { return nullptr; }
    void clear() override {}
};

// The smallest concrete library objects, for exercising the frame alone.
class TestType : public WithoutStoredForm<ITavLabelType> {
public:
    explicit TestType(bool throw_in_constructor = false) {
        if (throw_in_constructor)
            throw std::runtime_error("constructor failed");
    }
    ~TestType() override { ++g_destroyed; }
    int32_t Compare(const ITavLabelType&) const override { return 0; }
    int32_t TypeEnum() const override { return 7; }
};

class TestData : public WithoutStoredForm<ITavData> {
public:
    int32_t Compare(const ITavData&) const override { return 0; }
    bool VerifyCompatibility(const ITavDataType&) const override { return true; }
    SharedHandle<ITavData> Clone() const override { return make_object<TestData>(); }
};

// An exported-style function over one label-type handle whose body does
// whatever the test asks.
template <class Body>
int32_t call_with_type(ZTHANDLE h, Body body) {
    return frame::status("TestFunction", [&](frame::Call& call) {
        call.take<ITavLabelType>(h);
        body();
    });
}

} // namespace

TEST(MakeObject, ConstructorFailureReleasesTheHandleAndPassesOn) {
    g_destroyed = 0;
    EXPECT_THROW(make_object<TestType>(true), std::runtime_error);
    EXPECT_EQ(g_destroyed, 0);
}

TEST(CallFrame, HandleChecksFailWithInvalidArgumentAndTakeNoReference) {
    auto data = make_object<TestData>(); // not a label type
    ZTHANDLE dead = make_object<TestType>().handle(); // released at once
    const ZTHANDLE bad[] = {0, dead, 0xDEADBEEF12345678ull, data.handle()};
    for (ZTHANDLE h : bad) {
        ReportLog log;
        bool ran = false;
        EXPECT_EQ(call_with_type(h, [&] { ran = true; }), static_cast<int32_t>(0x80000002u));
        EXPECT_FALSE(ran);
        EXPECT_TRUE(log.one(static_cast<int32_t>(0x80000002u), "TestFunction"));
    }
    EXPECT_EQ(ZtRefCount(data.handle()), 1);
}

TEST(CallFrame, ReleasesOnEveryPathAndMapsExceptions) {
    auto type = make_object<TestType>();
    ZTHANDLE h = type.handle();
    struct Case {
        const char* what;
        std::function<void()> body;
        int32_t code;
        const char* function;
        const char* message;
    };
    const Case cases[] = {
        {"success", [] {}, 0, "", ""},
        {"tested condition", [] { frame::fail(ErrIndexOutOfRange); }, ErrIndexOutOfRange, "TestFunction", ""},
        {"inner name and message", [] { frame::fail(ErrIncompatible, "why", "InnerFunction"); }, ErrIncompatible,
         "InnerFunction", "why"},
        {"library exception", [] { throw ztkBase::invalid_argument("bad thing"); }, ErrInvalidArgument,
         "TestFunction", "bad thing"},
        {"weak pointer", [] { throw ztkBase::bad_weak_ptr(); }, ErrExpired, "TestFunction",
         "shared object expired"},
        {"memory", [] { throw std::bad_alloc(); }, ErrOutOfMemory, "TestFunction", ""},
        {"anything else", [] { throw 42; }, ErrFailure, "TestFunction", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportLog log;
        EXPECT_EQ(call_with_type(h, [&] {
                      EXPECT_EQ(ZtRefCount(h), 2);
                      c.body();
                  }),
                  c.code);
        EXPECT_EQ(ZtRefCount(h), 1);
        if (c.code == 0)
            EXPECT_TRUE(log.take().empty());
        else
            EXPECT_EQ(log.take(), tav_test::Reports{tav_test::report(c.code, c.function, c.message)});
    }
}

// Numbers drawn at once by several threads must never repeat: stored files
// tell objects apart by them.
TEST(UniqueNumbers, NeverRepeatAcrossThreads) {
    constexpr int kThreads = 4, kPerThread = 2000;
    std::vector<uint64_t> drawn(kThreads * kPerThread);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                drawn[t * kPerThread + i] = next_unique_number();
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(std::set<uint64_t>(drawn.begin(), drawn.end()).size(), drawn.size());
    auto a = make_object<TestData>();
    EXPECT_NE(a->UniqueNumber(), a->Clone()->UniqueNumber());
}
