// The version-1 reader: records in file order, the version's optional
// records, the header check, truncations and hostile lengths.
#include "tav/import/korvu1_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/korvu1_writer.hpp"
#include "tav/frame/exceptions.hpp"

// The largest single allocation since the last reset: hostile lengths must
// not turn into allocations the input cannot back.
static std::atomic<size_t> g_largestAllocation{0};

// The replacements pair malloc with free; GCC cannot see that across inlining.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
    size_t seen = g_largestAllocation.load();
    while (size > seen && !g_largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using namespace Korvu2::Korvu1;
using tavtest::Korvu1File;
using tavtest::WriteKorvu1;

const char* const kEndOfFile = "end of file encountered before reading finished";

// Logs every call as text; images are described by their size and checked to
// be alive while the visitor has them.
class RecordingVisitor : public Korvu1TAVBase {
public:
    std::vector<std::string> events;
    std::vector<ZTIMAGE> handles;
    int32_t optionOne = 1;

    bool IsVersionAtLeast(double v) const override { return VersionAtLeast(version_, v); }
    int32_t QueryOptionOne() const override { return optionOne; }
    double GetVersion() const override { return version_; }
    void SetVersion(double v) override { version_ = v, Log("version", v); }
    void OnDescription(const std::string& text) override { Log("description", text); }
    void OnFeatureWindow(const FeatureWindowRecord& w) override {
        Log("window", w.width, w.height, w.originX, w.originY, w.planes);
    }
    void OnClassName(const std::string& name) override { Log("class", name); }
    void OnHeaderWord(uint32_t word) override { Log("word", word); }
    void OnTransformLimits(const TransformLimitsRecord& l) override { Log("limits", l.rotationRange, l.borderX, l.borderY); }
    void OnSecondRecord(const OpaqueRecord& r) override { Log("second", int(r.head[0]), r.tail); }
    void OnExtraRecord(const OpaqueRecord& r) override { Log("extra", int(r.head[0]), r.tail); }
    void OnMaskImage(const Korvu1Image& mask) override { Log("mask", Describe(mask)); }
    void OnOption(uint32_t bit) override { Log("option", bit); }
    void OnExcludedClass(int32_t index) override { Log("excluded", index); }
    void OnSample(int64_t cls, const Korvu1Image& image, uint32_t first, uint32_t second) override {
        Log("sample", cls, Describe(image), first, second);
    }

    int SampleEvents() const {
        auto isSample = [](const std::string& e) { return e.starts_with("sample"); };
        return int(std::count_if(events.begin(), events.end(), isSample));
    }
    bool AllImagesReleased() const {
        return std::none_of(handles.begin(), handles.end(), [](ZTIMAGE h) { return ZtIsObject(h) != 0; });
    }

private:
    template <class... T>
    void Log(const std::string& what, const T&... parts) {
        std::ostringstream text;
        text << what;
        ((text << ' ' << parts), ...);
        events.push_back(text.str());
    }
    std::string Describe(const Korvu1Image& image) {
        if (image.empty()) return "none";
        handles.push_back(image.handle);
        int32_t planes = 0, w = 0, h = 0;
        if (!ZtIsObject(image.handle) || image.image->GetDimension(&planes, &w, &h) < 0) return "dead";
        return std::to_string(w) + "x" + std::to_string(h);
    }

    double version_ = 0;
};

// A stream that cannot seek, so its size is not known up front.
struct PipeBuf : std::streambuf {
    explicit PipeBuf(const std::string& bytes) {
        char* data = const_cast<char*>(bytes.data()); // only read: nothing is put back into it
        setg(data, data, data + bytes.size());
    }
};

Korvu1File FullFile(double version = 1.4) {
    Korvu1File f;
    f.version = version;
    f.description = "abc";
    f.featureWindow = {24, 20, 12, 10, 1};
    f.classNames = {"cat", "dog"};
    f.headerWord = 77;
    f.limits = {15, 4, -2};
    f.secondRecord = {9, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0};
    f.extraRecord = {8, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    f.maskImage = tavtest::TestImageBlob(24, 20);
    f.options = {1, 0, 7, 0};
    f.excludedClass = 1;
    // A sample count read at a wrong offset in this fill cannot yield the samples.
    f.reservedFill = 0xFF;
    f.samples = {{tavtest::TestImageBlob(30, 22), 11, 12, 0},
                 {tavtest::TestImageBlob(16, 16, ZT_DT_U8, 5), 21, 22, 1},
                 {tavtest::TestImageBlob(24, 20, ZT_DT_U16), 31, 32, -1}};
    return f;
}

// Reads bytes from a string stream, or from one that cannot seek; the
// ZtkException the read ends with, if any.
std::optional<ZtkException> ReadAll(const std::string& bytes, RecordingVisitor& v, bool seekable = true) {
    std::istringstream string(bytes);
    PipeBuf pipe(bytes);
    std::istream piped(&pipe);
    try {
        Korvu1Reader::Read(seekable ? static_cast<std::istream&>(string) : piped, v);
    } catch (const ZtkException& e) {
        return e;
    }
    return std::nullopt;
}

TEST(Korvu1Reader, VersionDecidesWhichRecordsAreDeliveredInFileOrder) {
    const std::vector<std::string> all = {
        "version 1.4", "description abc", "window 24 20 12 10 1", "class cat",  "class dog",
        "word 77",     "limits 15 4 -2",  "second 9 5",           "extra 8 -1", "mask 24x20",
        "option 1",    "option 4",        "excluded 1",           "sample 0 30x22 11 12",
        "sample 1 16x16 21 22", "sample -1 24x20 31 32"};
    const struct {
        double version;
        std::vector<std::string> absent; // records of later versions
    } cases[] = {{1.0, {"extra", "mask", "excluded"}}, {1.1, {"extra", "excluded"}}, {1.2, {"extra"}},
                 {1.4, {}}, {2.0, {}}};
    for (const auto& c : cases)
        for (bool seekable : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.version << (seekable ? "" : " pipe"));
            std::vector<std::string> expected;
            for (const std::string& e : all)
                if (std::none_of(c.absent.begin(), c.absent.end(), [&](auto& a) { return e.starts_with(a + ' '); }))
                    expected.push_back(e);
            std::ostringstream version;
            version << "version " << c.version;
            expected[0] = version.str();
            RecordingVisitor v;
            ASSERT_FALSE(ReadAll(WriteKorvu1(FullFile(c.version)), v, seekable));
            EXPECT_EQ(v.events, expected);
            EXPECT_TRUE(v.AllImagesReleased());
        }
    // A visitor without option 1 hears of it after the option bytes.
    Korvu1File f = FullFile(1.0);
    f.options = {0, 3, 0, 1};
    RecordingVisitor v;
    v.optionOne = 0;
    ASSERT_FALSE(ReadAll(WriteKorvu1(f), v));
    EXPECT_EQ(std::vector<std::string>(v.events.begin() + 8, v.events.begin() + 11),
              (std::vector<std::string>{"option 2", "option 8", "option 1"}));
}

TEST(Korvu1Reader, VersionTestAllowsTwoToTheMinus51) {
    EXPECT_TRUE(VersionAtLeast(1.1 - 0x1p-51, 1.1));
    EXPECT_FALSE(VersionAtLeast(1.1 - 0x1p-50, 1.1));
}

TEST(Korvu1Reader, WrongHeaderIsRefusedBeforeCallingTheVisitor) {
    for (std::string header : {std::string("SAMPLEIMAGELIST") + std::string(17, '\0'),
                               std::string("SAMPLEIMAGELIS                  "),
                               std::string("sampleimagelist                 ")}) {
        Korvu1File f = FullFile();
        f.header = header;
        RecordingVisitor v;
        const std::optional<ZtkException> e = ReadAll(WriteKorvu1(f), v);
        ASSERT_TRUE(e) << header;
        EXPECT_EQ(e->code(), 3u);
        EXPECT_STREQ(e->what(), "specified file is not a Korvu 1 Sample Image List");
        EXPECT_TRUE(v.events.empty());
    }
}

TEST(Korvu1Reader, EveryTruncationEndsCleanlyAfterTheSamplesBeforeIt) {
    const Korvu1File f = FullFile();
    const std::string full = WriteKorvu1(f);
    // End offset of each sample: a file holding only the samples up to it.
    std::vector<size_t> sampleEnds;
    for (size_t i = 1; i <= f.samples.size(); ++i) {
        Korvu1File prefix = f;
        prefix.samples.resize(i);
        sampleEnds.push_back(WriteKorvu1(prefix).size());
    }
    for (bool seekable : {true, false})
        for (size_t cut = 0; cut < full.size(); ++cut) {
            RecordingVisitor v;
            const std::optional<ZtkException> e = ReadAll(full.substr(0, cut), v, seekable);
            ASSERT_TRUE(e) << cut;
            ASSERT_EQ(e->code(), 3u) << cut;
            ASSERT_STREQ(e->what(), kEndOfFile) << cut;
            ASSERT_EQ(v.SampleEvents(), std::upper_bound(sampleEnds.begin(), sampleEnds.end(), cut) - sampleEnds.begin())
                << cut;
            ASSERT_TRUE(v.AllImagesReleased()) << cut;
        }
}

TEST(Korvu1Reader, HugeLengthsAndCountsEndEarlyWithoutLargeAllocations) {
    // A version 1.1 file without samples: its last fields are the mask size,
    // 512 bytes of options and reserved block, and the sample count. Given
    // one sample, the size of its image follows the count.
    Korvu1File f = FullFile(1.1);
    f.maskImage = "";
    f.samples.clear();
    const std::string base = WriteKorvu1(f);
    const size_t countAt = base.size() - 4, maskAt = countAt - 512 - 4, classesAt = 40 + 4 + 3 + 20;
    std::string oneSample = base;
    oneSample[countAt] = 1;
    oneSample += std::string(4, '\0') + std::string(100, '\x01');
    const struct {
        const char* field;
        const std::string& bytes;
        size_t at;
    } cases[] = {{"description length", base, 40}, {"class count", base, classesAt},
                 {"class name length", base, classesAt + 4}, {"mask size", base, maskAt},
                 {"sample count", base, countAt}, {"sample image size", oneSample, base.size()}};
    for (const auto& c : cases)
        for (uint32_t value : {0xFFFFFFFFu, 0x80000000u, static_cast<uint32_t>(base.size())})
            for (bool seekable : {true, false}) {
                SCOPED_TRACE(std::string(c.field) + " " + std::to_string(value) + (seekable ? "" : " pipe"));
                std::string bytes = c.bytes;
                for (int i = 0; i < 4; ++i) bytes[c.at + i] = static_cast<char>(value >> (8 * i));
                RecordingVisitor v;
                g_largestAllocation = 0;
                const std::optional<ZtkException> e = ReadAll(bytes, v, seekable);
                EXPECT_LT(g_largestAllocation.load(), size_t{1} << 20);
                ASSERT_TRUE(e);
                EXPECT_STREQ(e->what(), kEndOfFile);
            }
}

} // namespace
