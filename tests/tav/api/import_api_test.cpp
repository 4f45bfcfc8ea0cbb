// Import of version-1 list files through TavImportFromKorvu(W).
#include <gtest/gtest.h>
#include <tav/tav.h>

#include <array>
#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/korvu1_writer.hpp"
#include "support/reports.hpp"

namespace {

using tavtest::Korvu1File;
using tavtest::Korvu1Sample;
using tavtest::TestImageBlob;

const char* const kNative = "TavImportFromKorvu_native";
const char* const kEndOfFile = "end of file encountered before reading finished";
const char* const kCreateFailed = "error while creating v2 tav";
constexpr TAV kUntouched = 0x5151;

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("tav-import-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        if (list_ != 0 && list_ != kUntouched)
            ZtRelease(list_);
        std::filesystem::remove_all(dir_);
    }

    // A fresh name each time: rewriting one file in place makes some file
    // systems flush it to disk at every close.
    std::string PathOf(const std::string& bytes) {
        if (!lastPath_.empty())
            std::filesystem::remove(lastPath_);
        lastPath_ = (dir_ / ("list" + std::to_string(++files_) + ".sil")).string();
        tavtest::WriteFile(lastPath_, bytes);
        return lastPath_;
    }

    // Imports the file; the list (if any) is released at the end of the test.
    int32_t Import(const std::string& bytes) {
        if (list_ != 0 && list_ != kUntouched)
            ZtRelease(list_);
        list_ = kUntouched;
        return TavImportFromKorvu(PathOf(bytes).c_str(), &list_);
    }
    int32_t Import(const Korvu1File& file) { return Import(tavtest::WriteKorvu1(file)); }

    // A file whose window is w x h with its origin in the middle and one
    // sample per class index given, each a test image of the window's size.
    static Korvu1File FileWith(int32_t w, int32_t h, std::vector<int32_t> classes = {0}) {
        Korvu1File file;
        file.featureWindow = {w, h, w / 2, h / 2, 1};
        file.classNames = {"a"};
        for (int32_t c : classes)
            file.samples.push_back({TestImageBlob(w, h), 0, 0, c});
        return file;
    }

    std::string Label(int32_t index) {
        uint64_t size = 0;
        TAVLABEL label = TavGetLabel(list_, index);
        if (TavGetStringLabel(label, nullptr, &size) != 0)
            return "<none>";
        std::string text(size, '\0');
        TavGetStringLabel(label, text.data(), &size);
        text.pop_back();
        return text;
    }

    double Pixel(ZTIMAGE image, int32_t x, int32_t y) {
        double v = -1;
        EXPECT_EQ(ZtImageGetPixel(image, 0, x, y, &v), 0);
        return v;
    }

    std::filesystem::path dir_;
    std::string lastPath_;
    int files_ = 0;
    TAV list_ = 0;
};

struct SizeCase {
    std::array<int32_t, 5> window;
    std::array<int32_t, 3> limits;
    int32_t width, height, left, top, windowWidth, windowHeight;
};

TEST_F(ImportTest, TargetSizeHoldsTheWindowTurnedAndBordered) {
    const SizeCase cases[] = {
        {{32, 32, 16, 16, 1}, {0, 0, 0}, 32, 32, 0, 0, 32, 32},
        {{32, 32, 16, 16, 1}, {0, 4, 2}, 40, 36, 4, 2, 32, 32},
        {{32, 32, 16, 16, 1}, {90, 0, 0}, 46, 46, 7, 7, 32, 32},
        {{32, 32, 16, 16, 1}, {-90, 0, 0}, 32, 32, 0, 0, 32, 32},
        // Half a turn either way sweeps the full circle around the origin.
        {{10, 10, 0, 0, 1}, {180, 0, 0}, 27, 27, 8, 8, 10, 10},
        // A negative border shrinks the window by its size plus one.
        {{32, 32, 16, 16, 1}, {0, -3, 0}, 28, 32, 0, 0, 28, 32},
        {{20, 10, 0, 0, 1}, {0, 1, 1}, 22, 12, 1, 1, 20, 10},
    };
    for (const SizeCase& c : cases) {
        Korvu1File file = FileWith(c.width, c.height);
        file.featureWindow = c.window;
        file.limits = c.limits;
        tav_test::ReportWatch watch;
        ASSERT_EQ(Import(file), 0) << c.width << "x" << c.height;
        EXPECT_TRUE(watch.none());
        int32_t w = 0, h = 0, planes = 0, left = -1, top = -1, ww = 0, wh = 0, ox = -1, oy = -1;
        uint32_t type = 0;
        TAVDATATYPE dataType = TavGetDataType(list_);
        ASSERT_EQ(TavGetImageDataGeometry(dataType, &w, &h, &planes, &type), 0);
        ASSERT_EQ(TavGetFeatureWindow(dataType, &left, &top, &ww, &wh, &ox, &oy), 0);
        EXPECT_EQ(std::vector<int32_t>({w, h, left, top, ww, wh, ox, oy, planes, int32_t(type)}),
                  std::vector<int32_t>({c.width, c.height, c.left, c.top, c.windowWidth, c.windowHeight,
                                        c.window[2], c.window[3], 1, 8}));
        EXPECT_EQ(TavGetNumDataEntries(list_), 1);
    }
}

TEST_F(ImportTest, SamplesAreCutAtTheCentreOrScaledPerAxis) {
    Korvu1File file = FileWith(32, 32, {});
    file.limits = {90, 0, 0}; // 46 x 46
    file.samples = {{TestImageBlob(50, 50), 0, 0, 0}, {TestImageBlob(20, 60), 0, 0, 0}};
    ASSERT_EQ(Import(file), 0);
    ASSERT_EQ(TavGetNumDataEntries(list_), 2);

    ZTIMAGE cut = 0;
    ASSERT_EQ(TavGetImageData(TavGetData(list_, 0), &cut), 0);
    ASSERT_EQ(ZtImageWidth(cut), 46);
    for (int32_t y : {0, 20, 45})
        for (int32_t x : {0, 31, 45})
            EXPECT_EQ(Pixel(cut, x, y), (x + 2 + 3 * (y + 2)) % 251) << x << "," << y;

    // The scaled sample is what the image library makes with factors 2.3 and 46/60.
    const std::string blob = TestImageBlob(20, 60);
    ZTIMAGE source = 0, expected = 0;
    ASSERT_NE(ZtImageLoadFromMemory(blob.data(), blob.size(), &source), 0);
    const double matrix[4] = {2.3, 0, 0, 46.0 / 60.0};
    ASSERT_NE(ZtImageTransformByMatrix(source, matrix, &expected), 0);
    ZTIMAGE scaled = 0;
    ASSERT_EQ(TavGetImageData(TavGetData(list_, 1), &scaled), 0);
    ASSERT_EQ(ZtImageWidth(scaled), 46);
    ASSERT_EQ(ZtImageHeight(scaled), 46);
    for (int32_t y = 0; y < 46; y += 5)
        for (int32_t x = 0; x < 46; x += 5)
            EXPECT_EQ(Pixel(scaled, x, y), Pixel(expected, x, y)) << x << "," << y;
    ZtRelease(source);
    ZtRelease(expected);
}

TEST_F(ImportTest, ClassesCommentAndExcludedFlag) {
    Korvu1File file = FileWith(8, 8, {0, 1, 2, 1});
    file.description = "abc";
    file.classNames = {"dog", "cat", "dog", "unused"};
    file.excludedClass = 1;
    ASSERT_EQ(Import(file), 0);
    EXPECT_EQ(ZtRefCount(list_), 1);

    // Equal names share one label; labels are in text order; unused classes are absent.
    ASSERT_EQ(TavGetNumLabelEntries(list_), 2);
    EXPECT_EQ(Label(0), "cat");
    EXPECT_EQ(Label(1), "dog");
    EXPECT_EQ(TavGetNumDataReferencesByLabel(list_, 0), 2);
    EXPECT_EQ(TavGetNumDataReferencesByLabel(list_, 1), 2);
    int32_t catExcluded = -1, dogExcluded = -1;
    TavGetExcludedFlag(TavGetLabel(list_, 0), &catExcluded);
    TavGetExcludedFlag(TavGetLabel(list_, 1), &dogExcluded);
    EXPECT_EQ(catExcluded, 1);
    EXPECT_EQ(dogExcluded, 0);

    char comment[64] = {};
    uint64_t size = sizeof comment;
    ASSERT_EQ(TavGetComment(list_, comment, &size), 0);
    EXPECT_STREQ(comment, "Imported from Korvu TAV 'abc'.");

    for (int32_t index : {-1, 4, INT32_MAX}) {
        file.excludedClass = index;
        ASSERT_EQ(Import(file), 0);
        for (int32_t i = 0; i < 2; ++i) {
            int32_t flag = -1;
            TavGetExcludedFlag(TavGetLabel(list_, i), &flag);
            EXPECT_EQ(flag, 0) << index;
        }
    }
}

TEST_F(ImportTest, ListComesWithTheFirstSampleThatHasAnImage) {
    Korvu1File file = FileWith(8, 8, {});
    file.maskImage = TestImageBlob(8, 8);
    tav_test::ReportWatch watch;
    ASSERT_EQ(Import(file), 0);
    EXPECT_EQ(list_, 0u);
    EXPECT_TRUE(watch.none());

    file.samples = {{"", 0, 0, 0}, {"not an image", 0, 0, 0}};
    ASSERT_EQ(Import(file), 0);
    EXPECT_EQ(list_, 0u);

    file.samples.push_back({TestImageBlob(8, 8), 0, 0, 0});
    ASSERT_EQ(Import(file), 0);
    EXPECT_EQ(TavGetNumDataEntries(list_), 1);
}

struct FailureCase {
    const char* name;
    std::string bytes;
    int32_t code;
    const char* message;
};

TEST_F(ImportTest, FailuresAreReportedUnderTheNativeName) {
    auto file = [](auto change) {
        Korvu1File f = FileWith(8, 8, {0});
        change(f);
        return tavtest::WriteKorvu1(f);
    };
    const FailureCase cases[] = {
        {"wrong header", file([](Korvu1File& f) { f.header = "SAMPLEIMAGELIST"; }), TAV_E_FILE,
         "specified file is not a Korvu 1 Sample Image List"},
        {"class index negative", file([](Korvu1File& f) { f.samples[0].classIndex = -1; }), TAV_E_FILE, kEndOfFile},
        {"class index too large", file([](Korvu1File& f) { f.samples[0].classIndex = 1; }), TAV_E_FILE, kEndOfFile},
        {"class index of an imageless sample",
         file([](Korvu1File& f) { f.samples.insert(f.samples.begin(), {"", 0, 0, 9}); }), TAV_E_FILE, kEndOfFile},
        {"sample does not fit the list", file([](Korvu1File& f) { f.samples[0].image = TestImageBlob(8, 8, ZT_DT_U16); }),
         TAV_E_FILE, kEndOfFile},
        {"empty class name", file([](Korvu1File& f) { f.classNames = {""}; }), TAV_E_FILE, kEndOfFile},
        {"empty window", file([](Korvu1File& f) { f.featureWindow = {0, 8, 0, 0, 1}; }), TAV_E_FAILURE, kCreateFailed},
        {"origin outside", file([](Korvu1File& f) { f.featureWindow = {8, 8, 8, 0, 1}; }), TAV_E_FAILURE, kCreateFailed},
        {"no planes", file([](Korvu1File& f) { f.featureWindow = {8, 8, 0, 0, 0}; }), TAV_E_FAILURE, kCreateFailed},
        {"width overflows", file([](Korvu1File& f) { f.limits = {0, INT32_MAX, 0}; }), TAV_E_FAILURE, kCreateFailed},
        {"window overflows",
         file([](Korvu1File& f) {
             f.featureWindow = {INT32_MIN, 8, 0, 0, 1};
             f.limits = {0, -5, 0};
         }),
         TAV_E_FAILURE, kCreateFailed},
        {"huge rotated window", file([](Korvu1File& f) { f.featureWindow = {INT32_MAX, INT32_MAX, 0, 0, 1}; f.limits = {45, 0, 0}; }),
         TAV_E_FAILURE, kCreateFailed},
        // A one-pixel sample scaled to 8000 x 8000 would need far more memory than the file justifies.
        {"scaling beyond the allowance",
         file([](Korvu1File& f) {
             f.featureWindow = {8000, 8000, 0, 0, 1};
             f.samples[0].image = TestImageBlob(1, 1);
         }),
         TAV_E_FILE, kEndOfFile},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Import(c.bytes), c.code);
        EXPECT_EQ(list_, kUntouched);
        const tav_test::Report r = tav_test::last_report();
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.function, kNative);
    }
}

TEST_F(ImportTest, PathFailuresLeaveTheOutPointerAlone) {
    const std::string missing = (dir_ / "missing.sil").string();
    const std::u16string wideMissing(missing.begin(), missing.end());
    const struct {
        const char* name;
        std::function<int32_t(TAV*)> call;
        int32_t code;
        const char* message;
        const char* function;
    } cases[] = {
        {"empty", [](TAV* l) { return TavImportFromKorvu("", l); }, TAV_E_FAILURE, "unexpected failure", kNative},
        {"null", [](TAV* l) { return TavImportFromKorvu(nullptr, l); }, TAV_E_FAILURE, "unexpected failure", kNative},
        {"null wide", [](TAV* l) { return TavImportFromKorvuW(nullptr, l); }, TAV_E_FAILURE, "unexpected failure",
         kNative},
        {"missing", [&](TAV* l) { return TavImportFromKorvu(missing.c_str(), l); }, TAV_E_FILE, "file not found",
         kNative},
        {"missing wide", [&](TAV* l) { return TavImportFromKorvuW(wideMissing.c_str(), l); }, TAV_E_FILE,
         "file not found", kNative},
        {"directory", [&](TAV* l) { return TavImportFromKorvu(dir_.c_str(), l); }, TAV_E_FILE,
         "specified file is not a Korvu 1 Sample Image List", kNative},
        // Not valid in the codeset: no file is looked for under a replaced name.
        {"unreadable narrow name", [](TAV* l) { return TavImportFromKorvu("\xff.sil", l); }, TAV_E_FILE,
         "file not found", kNative},
        {"null out", [&](TAV*) { return TavImportFromKorvu(missing.c_str(), nullptr); }, TAV_E_INVALID_ARGUMENT, "",
         "TavImportFromKorvu"},
        {"null out wide", [](TAV*) { return TavImportFromKorvuW(u"x", nullptr); }, TAV_E_INVALID_ARGUMENT, "",
         "TavImportFromKorvuW"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TAV list = kUntouched;
        tav_test::ReportWatch watch;
        EXPECT_EQ(c.call(&list), c.code);
        EXPECT_EQ(list, kUntouched);
        EXPECT_TRUE(watch.one(c.code, c.function));
        EXPECT_EQ(tav_test::last_report().message, c.message);
    }
}

} // namespace
