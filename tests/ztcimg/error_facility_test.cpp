#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <zt/ztcimg.h>

#include "support/reports.hpp"

namespace {

void record(void* context, int32_t code, const char* message, const char* function) {
    static_cast<std::vector<std::string>*>(context)->push_back(std::to_string(code) + " " +
                                                               (message ? message : "(null)") + " " +
                                                               (function ? function : "(null)"));
}

TEST(ZtErrorFacilityTest, TheHandlerSeesEveryReportAndTheThreadKeepsTheLast) {
    std::vector<std::string> seen;
    ZtSetErrorHandler(record, &seen);
    tav_test::ReportWatch watch;
    ZtReportError(-5, "TavFirst");
    ZtReportErrorWithMessage(-6, "outside", "TavSecond");
    ZtReportErrorWithMessage(7, nullptr, nullptr);
    const char* function = "x";
    const char* message = "x";
    EXPECT_EQ(ZtGetLastError(&function, &message), 7);
    EXPECT_EQ(function, nullptr);
    EXPECT_EQ(message, nullptr);
    ZtSetErrorHandler(nullptr, &seen);
    ZtReportError(1, "TavUnseen");
    EXPECT_EQ(seen, (std::vector<std::string>{"-5 (null) TavFirst", "-6 outside TavSecond", "7 (null) (null)"}));
    EXPECT_EQ(watch.count(), 4u);
    ZtClearLastError();
    EXPECT_EQ(ZtGetLastError(&function, &message), 0);
    EXPECT_EQ(watch.count(), 4u);
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

// The image library answers by return value; the caller reports, once.
TEST(ZtImageReportsTest, FailingImageFunctionsReportNothing) {
    tav_test::ReportWatch watch;
    ZTIMAGE out = 0;
    EXPECT_EQ(ZtImageCreate(0, 0, 1, ZT_DT_U8), 0u);
    EXPECT_EQ(ZtImageLoadFromMemory("junk", 4, &out), 0);
    EXPECT_EQ(ZtImageMapArea(0, 0, 0, 1, 1, 1, 1, &out), 0);
    EXPECT_TRUE(watch.none());
}

} // namespace
