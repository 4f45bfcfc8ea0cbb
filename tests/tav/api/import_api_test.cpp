// Import of version-1 list files through TavImportFromKorvu(W).
#include <array>
#include <climits>

#include "list_fixture.hpp"
#include "support/korvu1_writer.hpp"
#include "support/temp_dir.hpp"

namespace {

using tavtest::Korvu1File;
using tavtest::TestImageBlob;
using namespace list_test;

const char* const kNative = "TavImportFromKorvu_native";
constexpr TAV kUntouched = 0x5151;

class ImportTest : public ::testing::Test {
protected:
    void TearDown() override { Release(); }
    void Release() {
        if (list_ != 0 && list_ != kUntouched)
            ZtRelease(list_);
    }

    // Imports the file under a fresh name (rewriting one file in place makes
    // some file systems flush it at every close); the list is released later.
    int32_t Import(const Korvu1File& file) {
        Release();
        list_ = kUntouched;
        const std::string path = dir_.file("list" + std::to_string(++files_) + ".sil");
        tav_test::write_bytes(path, tavtest::WriteKorvu1(file));
        const int32_t status = TavImportFromKorvu(path.c_str(), &list_);
        std::filesystem::remove(path);
        return status;
    }

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

    const tav_test::TempDir dir_;
    int files_ = 0;
    TAV list_ = 0;
};

TEST_F(ImportTest, TargetSizeHoldsTheWindowTurnedAndBordered) {
    const struct {
        std::array<int32_t, 5> window;
        std::array<int32_t, 3> limits;
        int32_t width, height, left, top, windowWidth, windowHeight;
    } cases[] = {
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
    for (const auto& c : cases) {
        Korvu1File file = FileWith(c.width, c.height);
        file.featureWindow = c.window;
        file.limits = c.limits;
        ReportLog log;
        ASSERT_EQ(Import(file), 0) << c.width << "x" << c.height;
        EXPECT_EQ(log.take(), Reports{});
        EXPECT_EQ(image_type_of(TavGetDataType(list_)),
                  std::vector<int64_t>({c.width, c.height, 1, ZT_DT_U8, c.left, c.top, c.windowWidth,
                                        c.windowHeight, c.window[2], c.window[3]}));
        EXPECT_EQ(TavGetNumDataEntries(list_), 1);
    }
}

TEST_F(ImportTest, SamplesAreCutAtTheCentreOrScaledPerAxis) {
    Korvu1File file = FileWith(32, 32, {});
    file.limits = {90, 0, 0}; // 46 x 46
    file.samples = {{TestImageBlob(50, 50), 0, 0, 0}, {TestImageBlob(20, 60), 0, 0, 0}};
    ASSERT_EQ(Import(file), 0);
    ASSERT_EQ(TavGetNumDataEntries(list_), 2);

    const ZTIMAGE cut = image_of(TavGetData(list_, 0));
    ASSERT_EQ(ZtImageWidth(cut), 46);
    for (int32_t y : {0, 20, 45})
        for (int32_t x : {0, 31, 45})
            EXPECT_EQ(pixel(cut, x, y), (x + 2 + 3 * (y + 2)) % 251) << x << "," << y;

    // The scaled sample is what the image library makes with factors 2.3 and 46/60.
    const std::string blob = TestImageBlob(20, 60);
    ZTIMAGE source = 0, expected = 0;
    ASSERT_NE(ZtImageLoadFromMemory(blob.data(), blob.size(), &source), 0);
    const double matrix[4] = {2.3, 0, 0, 46.0 / 60.0};
    ASSERT_NE(ZtImageTransformByMatrix(source, matrix, &expected), 0);
    const ZTIMAGE scaled = image_of(TavGetData(list_, 1));
    ASSERT_EQ(ZtImageWidth(scaled), 46);
    ASSERT_EQ(ZtImageHeight(scaled), 46);
    for (int32_t y = 0; y < 46; y += 5)
        for (int32_t x = 0; x < 46; x += 5)
            EXPECT_EQ(pixel(scaled, x, y), pixel(expected, x, y)) << x << "," << y;
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
    EXPECT_EQ(label_texts(list_), (std::vector<std::string>{"cat", "dog"}));
    EXPECT_EQ(std::make_pair(TavGetNumDataReferencesByLabel(list_, 0), TavGetNumDataReferencesByLabel(list_, 1)),
              std::make_pair(2, 2));
    EXPECT_EQ(excluded_flags(list_), (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(wide_comment(list_), u"Imported from Korvu TAV 'abc'.");

    for (int32_t index : {-1, 4, INT32_MAX}) {
        file.excludedClass = index;
        ASSERT_EQ(Import(file), 0);
        EXPECT_EQ(excluded_flags(list_), (std::vector<int32_t>{0, 0})) << index;
    }
}

TEST_F(ImportTest, ListComesWithTheFirstSampleThatHasAnImage) {
    Korvu1File file = FileWith(8, 8, {});
    file.maskImage = TestImageBlob(8, 8);
    ReportLog log;
    ASSERT_EQ(Import(file), 0);
    EXPECT_EQ(list_, 0u);
    EXPECT_EQ(log.take(), Reports{});

    file.samples = {{"", 0, 0, 0}, {"not an image", 0, 0, 0}};
    ASSERT_EQ(Import(file), 0);
    EXPECT_EQ(list_, 0u);

    file.samples.push_back({TestImageBlob(8, 8), 0, 0, 0});
    ASSERT_EQ(Import(file), 0);
    EXPECT_EQ(TavGetNumDataEntries(list_), 1);
    EXPECT_NE(TavGetMaskData(list_), 0u); // the mask read before the list was waiting for it

    // A mask that does not fit the list is refused, and the import still succeeds.
    file.maskImage = TestImageBlob(4, 4);
    ASSERT_EQ(Import(file), 0);
    EXPECT_EQ(TavGetMaskData(list_), 0u);
    EXPECT_EQ(log.take(), refusal(TAV_E_INCOMPATIBLE, "TavSetMaskData"));
}

TEST_F(ImportTest, FailuresAreReportedUnderTheNativeName) {
    const ReportLog::Entry notAList = report(TAV_E_FILE, kNative, "specified file is not a Korvu 1 Sample Image List"),
                           endOfFile = report(TAV_E_FILE, kNative, "end of file encountered before reading finished"),
                           createFailed = report(TAV_E_FAILURE, kNative, "error while creating v2 tav");
    const struct {
        const char* name;
        std::function<void(Korvu1File&)> change;
        ReportLog::Entry last;
    } cases[] = {
        {"wrong header", [](Korvu1File& f) { f.header = "SAMPLEIMAGELIST"; }, notAList},
        {"class index negative", [](Korvu1File& f) { f.samples[0].classIndex = -1; }, endOfFile},
        {"class index too large", [](Korvu1File& f) { f.samples[0].classIndex = 1; }, endOfFile},
        {"class index of an imageless sample", [](Korvu1File& f) { f.samples.insert(f.samples.begin(), {"", 0, 0, 9}); },
         endOfFile},
        {"sample does not fit", [](Korvu1File& f) { f.samples[0].image = TestImageBlob(8, 8, ZT_DT_U16); }, endOfFile},
        {"empty class name", [](Korvu1File& f) { f.classNames = {""}; }, endOfFile},
        {"empty window", [](Korvu1File& f) { f.featureWindow = {0, 8, 0, 0, 1}; }, createFailed},
        {"origin outside", [](Korvu1File& f) { f.featureWindow = {8, 8, 8, 0, 1}; }, createFailed},
        {"no planes", [](Korvu1File& f) { f.featureWindow = {8, 8, 0, 0, 0}; }, createFailed},
        {"width overflows", [](Korvu1File& f) { f.limits = {0, INT32_MAX, 0}; }, createFailed},
        {"window overflows", [](Korvu1File& f) { f.featureWindow = {INT32_MIN, 8, 0, 0, 1}, f.limits = {0, -5, 0}; },
         createFailed},
        {"huge rotated window",
         [](Korvu1File& f) { f.featureWindow = {INT32_MAX, INT32_MAX, 0, 0, 1}, f.limits = {45, 0, 0}; }, createFailed},
        // A one-pixel sample scaled to 8000 x 8000 would need far more memory than the file justifies.
        {"scaling beyond the allowance",
         [](Korvu1File& f) { f.featureWindow = {8000, 8000, 0, 0, 1}, f.samples[0].image = TestImageBlob(1, 1); },
         endOfFile},
    };
    for (const auto& c : cases) {
        Korvu1File file = FileWith(8, 8, {0});
        c.change(file);
        ReportLog log;
        EXPECT_EQ(Import(file), c.last.code) << c.name;
        EXPECT_EQ(list_, kUntouched) << c.name;
        const Reports reported = log.take(); // the steps that failed report first
        ASSERT_FALSE(reported.empty()) << c.name;
        EXPECT_EQ(reported.back(), c.last) << c.name;
    }
}

TEST_F(ImportTest, PathFailuresLeaveTheOutPointerAlone) {
    const std::string missing = dir_.file("missing.sil");
    const std::u16string wideMissing(missing.begin(), missing.end());
    TAV list = kUntouched;
    const int32_t unexpected = TAV_E_FAILURE, file = TAV_E_FILE, invalid = TAV_E_INVALID_ARGUMENT;
    const char* notFound = "file not found";
    expect_calls({
        fails("empty", [&] { return TavImportFromKorvu("", &list); }, unexpected, kNative, "unexpected failure"),
        fails("null", [&] { return TavImportFromKorvu(nullptr, &list); }, unexpected, kNative, "unexpected failure"),
        fails("null wide", [&] { return TavImportFromKorvuW(nullptr, &list); }, unexpected, kNative,
              "unexpected failure"),
        fails("missing", [&] { return TavImportFromKorvu(missing.c_str(), &list); }, file, kNative, notFound),
        fails("missing wide", [&] { return TavImportFromKorvuW(wideMissing.c_str(), &list); }, file, kNative, notFound),
        fails("directory", [&] { return TavImportFromKorvu(dir_.path().c_str(), &list); }, file, kNative,
              "specified file is not a Korvu 1 Sample Image List"),
        // Not valid in the codeset: no file is looked for under a replaced name.
        fails("unreadable narrow name", [&] { return TavImportFromKorvu("\xff.sil", &list); }, file, kNative, notFound),
        fails("null out", [&] { return TavImportFromKorvu(missing.c_str(), nullptr); }, invalid, "TavImportFromKorvu"),
        fails("null out wide", [] { return TavImportFromKorvuW(u"x", nullptr); }, invalid, "TavImportFromKorvuW"),
    });
    EXPECT_EQ(list, kUntouched);
}

} // namespace
