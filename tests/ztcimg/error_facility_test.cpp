#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <zt/ztcimg.h>

#include "support/reports.hpp"

namespace {

struct Seen {
    int32_t code;
    std::string message, function;
};

void record(void* context, int32_t code, const char* message, const char* function) {
    static_cast<std::vector<Seen>*>(context)->push_back(
        {code, message ? message : "(null)", function ? function : "(null)"});
}

// Removes the handler however a test ends.
struct HandlerScope {
    explicit HandlerScope(std::vector<Seen>* seen) { ZtSetErrorHandler(record, seen); }
    ~HandlerScope() { ZtSetErrorHandler(nullptr, nullptr); }
};

TEST(ZtErrorFacilityTest, TheHandlerSeesEveryReportAndTheThreadKeepsTheLast) {
    std::vector<Seen> seen;
    HandlerScope scope(&seen);
    tav_test::ReportWatch watch;
    ZtReportError(static_cast<int32_t>(0x80000002u), "TavFirst");
    ZtReportErrorWithMessage(static_cast<int32_t>(0x8000001au), "outside", "TavSecond");
    ZtReportErrorWithMessage(7, nullptr, nullptr);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].message, "(null)");
    EXPECT_EQ(seen[0].function, "TavFirst");
    EXPECT_EQ(seen[1].message, "outside");
    EXPECT_EQ(seen[2].function, "(null)");
    EXPECT_EQ(watch.count(), 3u);

    const char* function = "x";
    const char* message = "x";
    EXPECT_EQ(ZtGetLastError(&function, &message), 7);
    EXPECT_EQ(function, nullptr);
    EXPECT_EQ(message, nullptr);

    ZtClearLastError();
    EXPECT_EQ(ZtGetLastError(&function, &message), 0);
    EXPECT_EQ(watch.count(), 3u);

    ZtSetErrorHandler(nullptr, &seen);
    ZtReportError(1, "TavUnseen");
    EXPECT_EQ(seen.size(), 3u);
}

void report_again(void* context, int32_t, const char*, const char*) {
    ++*static_cast<int*>(context);
    ZtReportError(2, "FromHandler");
}

TEST(ZtErrorFacilityTest, AReportFromInsideTheHandlerIsNotPassedBackToIt) {
    int calls = 0;
    ZtSetErrorHandler(report_again, &calls);
    tav_test::ReportWatch watch;
    ZtReportError(1, "Outer");
    ZtSetErrorHandler(nullptr, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(watch.count(), 2u);
    EXPECT_EQ(tav_test::last_report().function, "FromHandler");
}

} // namespace

// The image library answers by return value; the caller reports, once.
TEST(ZtImageReportsTest, FailingImageFunctionsReportNothing) {
    tav_test::ReportWatch watch;
    ZTIMAGE out = 0;
    EXPECT_EQ(ZtImageCreate(0, 0, 1, ZT_DT_U8), 0u);
    EXPECT_EQ(ZtImageLoadFromMemory("junk", 4, &out), 0);
    EXPECT_EQ(ZtImageMapArea(0, 0, 0, 1, 1, 1, 1, &out), 0);
    EXPECT_TRUE(watch.none());
}
