#pragma once
// Building small lists through the public functions and running tables of
// calls with the reports each must make.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "support/lists.hpp"
#include "support/reports.hpp"

namespace list_test {

using tav_test::report;
using tav_test::ReportLog;
using tav_test::Reports;

// The one report of a refusal.
inline Reports refusal(int32_t code, const char* function, const char* message = "") {
    return {report(code, function, message)};
}

constexpr const char* kOutside = "The input values lead to a feature window which is located partly outside the image";

// One row of a table: the call, the result it must give and the reports it
// must make, in order.
struct Call {
    std::string what;
    std::function<int64_t()> run;
    int64_t result;
    Reports reported;
};

// A row whose call fails with code and makes that one report.
inline Call fails(std::string what, std::function<int64_t()> run, int32_t code, const char* function,
                  const char* message = "") {
    return {std::move(what), std::move(run), code, refusal(code, function, message)};
}

inline void expect_calls(const std::vector<Call>& calls) {
    for (const Call& c : calls) {
        ReportLog log;
        EXPECT_EQ(c.run(), c.result) << c.what;
        EXPECT_EQ(log.take(), c.reported) << c.what;
    }
}

using tav_test::Owned;
// String labels over one-element vectors.
using StringVectorList = tav_test::TestList;

// The text of a string label; a failing getter leaves the buffer as it was.
inline std::string label_text(TAVLABEL label) {
    char text[64] = "<none>";
    uint64_t size = sizeof text;
    TavGetStringLabel(label, text, &size);
    return text;
}

inline std::u16string wide_comment(TAV list) {
    char16_t text[64] = u"";
    uint64_t size = 64;
    EXPECT_EQ(TavGetCommentW(list, text, &size), 0);
    return text;
}

inline float data_value(TAVDATA data) {
    float value = -1;
    uint64_t count = 1;
    TavGetFloatVectorData(data, &value, &count);
    return value;
}

inline std::vector<std::string> label_texts(TAV list) {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < TavGetNumLabelEntries(list); ++i)
        texts.push_back(label_text(TavGetLabel(list, i)));
    return texts;
}

inline std::vector<float> data_values(TAV list) {
    std::vector<float> values;
    for (int32_t i = 0; i < TavGetNumDataEntries(list); ++i)
        values.push_back(data_value(TavGetData(list, i)));
    return values;
}

inline std::vector<int32_t> excluded_flags(TAV list) {
    std::vector<int32_t> flags;
    for (int32_t l = 0; l < TavGetNumLabelEntries(list); ++l) {
        flags.push_back(-1);
        TavGetExcludedFlag(TavGetLabel(list, l), &flags.back());
    }
    return flags;
}

inline double pixel(ZTIMAGE image, int32_t x, int32_t y, int32_t plane = 0) {
    double v = -1;
    EXPECT_EQ(ZtImageGetPixel(image, plane, x, y, &v), 0);
    return v;
}

inline ZTIMAGE image_of(TAVDATA data) {
    ZTIMAGE image = 0;
    EXPECT_EQ(TavGetImageData(data, &image), 0);
    return image;
}

// Geometry and window of an image data type: width, height, planes, pixel
// type, left, top, window width and height, origin x and y.
inline std::vector<int64_t> image_type_of(TAVDATATYPE type) {
    int32_t w = 0, h = 0, planes = 0, left = -1, top = -1, ww = 0, wh = 0, ox = -1, oy = -1;
    uint32_t pixel = 0;
    EXPECT_EQ(TavGetImageDataGeometry(type, &w, &h, &planes, &pixel), 0);
    EXPECT_EQ(TavGetFeatureWindow(type, &left, &top, &ww, &wh, &ox, &oy), 0);
    return {w, h, planes, pixel, left, top, ww, wh, ox, oy};
}

} // namespace list_test
