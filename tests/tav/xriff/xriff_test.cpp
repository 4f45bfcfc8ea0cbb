// The xriff stream library: the writer's layout and errors, the reader's
// header checks, and the directory over hostile and random files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/list_file_bytes.hpp"
#include "support/temp_dir.hpp"
#include "tav/xriff/xriff_directory.hpp"
#include "tav/xriff/xriff_ifstream.hpp"
#include "tav/xriff/xriff_ofstream.hpp"

using namespace vxIO;
using namespace tav_test;

namespace {

// Bytes of a file image, built piece by piece; fixed fields are NUL padded.
struct bytes_builder {
    std::string bytes;
    bytes_builder& raw(std::string_view s) { return bytes.append(s), *this; }
    bytes_builder& header() { return raw("ZTKXRIFF        ").raw(fixed("test", 16)); }
    bytes_builder& chunk_header(std::string_view type, std::string_view name, uint64_t size) {
        return raw(fixed(type, 8)).raw(fixed(name, 16)).raw(u64le(size));
    }
    bytes_builder& chunk(std::string_view type, std::string_view name, std::string_view payload) {
        return chunk_header(type, name, payload.size()).raw(payload);
    }
};
bytes_builder file() { return bytes_builder{}.header(); }

// The message of the E that op throws, or "no error".
template <class E>
std::string error_of(const std::function<void()>& op) {
    try {
        op();
    } catch (const E& e) {
        return e.what();
    }
    return "no error";
}

void build_from(xriff_directory& dir, std::string bytes) {
    dir.open_memory(std::move(bytes));
    dir.read_header();
    dir.build();
}

// Builds the directory of any bytes and reads every payload; only the
// library's own error classes may come out. The message, or "" on success.
std::string build_error(const std::string& bytes) {
    try {
        xriff_directory dir;
        build_from(dir, bytes);
        for (const auto& e : dir) {
            EXPECT_LE(e.position + e.size, bytes.size());
            EXPECT_EQ(dir.read_payload(e),
                      std::vector<char>(bytes.begin() + e.position, bytes.begin() + e.position + e.size));
        }
        return "";
    } catch (const std::xriff_io_error& e) {
        return e.what();
    } catch (const std::xriff_error& e) {
        return e.what();
    }
}

// A streamable object that counts prepare and clear.
struct counting_object : ixriff_streamable {
    std::string type = "ARRYU8  ", name, payload = "xy";
    int prepared = 0, cleared = 0;

    void prepare() override { ++prepared; }
    xriff_fixed_string<8> chunk_type() const override { return type; }
    xriff_fixed_string<16> chunk_name() const override { return name; }
    uint64_t chunk_size() const override { return payload.size(); }
    const void* chunk_data() const override { return payload.data(); }
    void clear() override { ++cleared; }
};

} // namespace

TEST(XriffOfstream, NestedCompositesHaveThePinnedLayout) {
    TempDir tmp;
    xriff_ofstream w;
    w.open(tmp.file("t.xrf"), "test");
    // Told of progress once per 64 bytes written, whatever the pieces.
    std::vector<uint64_t> progress;
    w.set_progress_observer(64, [&] { progress.push_back(w.tell()); });
    w << set_chunk_name("outer");
    w.open_composite();
    w.write_text({}, "abcd");
    w.open_composite("inner");
    w.write_u32_array("nums", std::vector<uint32_t>{1, 2});
    w.close_composite();
    w.close_composite();
    w.open_composite("empty");
    w.close_composite();
    counting_object time;
    time.type = "SYSTIME";
    time.name = "ModificationTime"; // 16 letters, no terminator
    w.write_object(time);
    w.close();

    const std::string expected = bytes_builder{}
                                     .raw("ZTKXRIFF        ")
                                     .raw(std::string("test\0\0\0\0\0\0\0\0\0\0\0\0", 16))
                                     .chunk_header("COMPOSIT", "outer", 108)
                                     .chunk_header("TXTUTF8 ", "", 4).raw("abcd")
                                     .chunk_header("COMPOSIT", "inner", 40)
                                     .chunk_header("ARRYU32 ", "nums", 8)
                                     .raw(std::string("\x01\0\0\0\x02\0\0\0", 8))
                                     .chunk_header("COMPOSIT", "empty", 0)
                                     .raw(std::string("SYSTIME\0", 8)).raw("ModificationTime").raw(u64le(2)).raw("xy")
                                     .bytes;
    EXPECT_EQ(read_bytes(tmp.file("t.xrf")), expected);
    EXPECT_EQ(time.prepared, 1);
    EXPECT_EQ(time.cleared, 1);
    ASSERT_EQ(progress.size(), 3u);
    for (std::size_t i = 0; i < progress.size(); ++i)
        EXPECT_GE(progress[i], (i ? progress[i - 1] : 32) + 64) << i;
    EXPECT_LT(expected.size(), progress.back() + 64);
}

TEST(XriffOfstream, CompositesOverManyBlocksGetTheirSizes) {
    // The outer size field has gone to the file before its composite closes;
    // the inner one is still in memory. Large payloads cross the blocks.
    TempDir tmp;
    xriff_ofstream w;
    w.open(tmp.file("big.xrf"), "test");
    const std::string payload(3 << 20, 'p');
    w.open_composite("outer");
    w.write_text("a", payload);
    w.write_text("b", payload);
    w.open_composite("inner");
    w.write_text("c", "xyz");
    w.close_composite();
    w.close_composite();
    w.close();
    const bytes_builder expected = file()
                                       .chunk_header("COMPOSIT", "outer", 2 * (32 + payload.size()) + 32 + 35)
                                       .chunk("TXTUTF8 ", "a", payload)
                                       .chunk("TXTUTF8 ", "b", payload)
                                       .chunk_header("COMPOSIT", "inner", 35)
                                       .chunk("TXTUTF8 ", "c", "xyz");
    EXPECT_TRUE(read_bytes(tmp.file("big.xrf")) == expected.bytes);
}

TEST(XriffOfstream, FailedFlushOrWriteIsReported) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // Small chunks sit in the buffer until the final flush, which must fail.
    xriff_ofstream small;
    small.open("/dev/full", "x");
    small.write_text({}, "small");
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { small.close(); }), "write failed");
    EXPECT_FALSE(small.is_open());
    // A payload larger than all the blocks in flight waits for the failed
    // ones and fails in the write itself; the object is cleared all the same.
    xriff_ofstream w;
    w.open("/dev/full", "x");
    counting_object big;
    big.payload.assign(8 << 20, 'z');
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { w.write_object(big); }), "write failed");
    EXPECT_EQ(big.prepared, 1);
    EXPECT_EQ(big.cleared, 1);
    EXPECT_THROW(w.close(), std::xriff_io_error);
}

TEST(XriffIfstream, HeaderErrors) {
    const std::string good = file().bytes, wrong = "xriff file format not compatible with this reader",
                      short_file = "file is too short to be a valid xriff file";
    std::vector<std::pair<std::string, std::string>> cases = {
        {std::string("ZTKXRIFF\0\0\0\0\0\0\0\0", 16) + std::string(16, 'n'), wrong},
        {"ZTKXRIFF       !" + std::string(16, 'n'), wrong},
        {good, "no error"}};
    for (std::size_t n = 0; n < 32; ++n)
        cases.push_back({good.substr(0, n), n < 16 ? short_file : "passed end of file"});
    for (const auto& [bytes, message] : cases) {
        xriff_ifstream r;
        r.open_memory(bytes);
        EXPECT_EQ(error_of<std::xriff_io_error>([&] { r.read_header(); }), message) << bytes.size();
    }
    xriff_ifstream closed;
    char b[4];
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { closed.read_header(); }), "file not found");
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { closed.read(b, 4); }), "file not open");
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { closed.parse_next(); }), "file not open");
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { closed.open("/no/such/file.xrf"); }), "file open error");
}

TEST(XriffDirectory, HostileSizesGiveCleanErrors) {
    const auto max = ~uint64_t{0};
    const std::string eof = "passed end of file", outside = "chunk runs past the end of its composite";
    const std::pair<std::string, std::string> cases[] = {
        {file().chunk_header("ARRYU8  ", "", max).bytes, eof},
        {file().chunk_header("ARRYU8  ", "", max / 2 + 1).raw("abc").bytes, eof},
        {file().chunk_header("ARRYU8  ", "", 4).raw("abc").bytes, eof},
        {file().chunk_header("COMPOSIT", "", 33).chunk("A", "", "").bytes, eof},
        {file().chunk_header("COMPOSIT", "", max).bytes, eof},
        {file().raw("ARRYU8  abc").bytes, eof},
        // A child, or the header of one, across its composite's end.
        {file().chunk_header("COMPOSIT", "", 36).chunk("A", "", "12345").bytes, outside},
        {file().chunk_header("COMPOSIT", "", 40).chunk("A", "", "1234").chunk("B", "", "").bytes, outside},
        {file().chunk_header("COMPOSIT", "", 32).chunk_header("COMPOSIT", "", 1).raw("x").bytes, outside},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(build_error(cases[i].first), cases[i].second) << i;
}

TEST(XriffDirectory, DeepNestingNeedsNoRecursion) {
    // Each composite holds only the next one; the innermost is empty.
    const int depth = 20000;
    bytes_builder exact = file();
    for (int i = 0; i < depth; ++i)
        exact.chunk_header("COMPOSIT", "", uint64_t(depth - 1 - i) * 32);
    xriff_directory dir;
    build_from(dir, exact.bytes);
    ASSERT_EQ(dir.entries().size(), std::size_t(depth));
    EXPECT_EQ(dir.entries().back().level, uint64_t(depth - 1));
    // An entry that claims more than the file holds is refused before any allocation.
    EXPECT_THROW(dir.read_payload({0, "ARRYU8  ", "", ~uint64_t{0}, exact.bytes.size() - 32}), std::xriff_eof_error);
}

TEST(XriffDirectory, PrefixesBuildExactlyAtTopLevelBoundaries) {
    const std::string bytes = file()
                                  .chunk_header("COMPOSIT", "data", 36 + 32 + 36)
                                  .chunk("ARRYFL32", "", "abcd")
                                  .chunk_header("COMPOSIT", "deep", 36)
                                  .chunk("TXTUTF8 ", "x", "wxyz")
                                  .chunk("NULLCHNK", "", "")
                                  .chunk("TXTUTF8 ", "after", "hi")
                                  .bytes;
    // A prefix builds exactly when it ends at a top-level chunk boundary.
    const std::size_t boundaries[] = {32, 32 + 32 + 104, 32 + 32 + 104 + 32, bytes.size()};
    ASSERT_EQ(build_error(bytes), "");
    // Null chunks are entries like any other.
    xriff_directory dir;
    build_from(dir, bytes);
    ASSERT_EQ(dir.entries().size(), 6u);
    EXPECT_EQ(std::next(dir.entries().begin(), 4)->type, vxIO::xriff_type::null_chunk);
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_EQ(build_error(bytes.substr(0, n)).empty(), std::find(std::begin(boundaries), std::end(boundaries), n) !=
                                                               std::end(boundaries))
            << n;
}

TEST(XriffDirectory, RandomTreesRoundTripThroughAFile) {
    // Random nested chunks written to a file come back from its directory
    // with their levels, types, names, sizes and payloads.
    struct node {
        uint64_t level;
        std::string type, name, payload;
        uint64_t size = 0;
        bool operator==(const node&) const = default;
    };
    std::mt19937 rng(1234);
    for (int round = 0; round < 20; ++round) {
        TempDir tmp;
        std::vector<node> expected;
        uint64_t depth = 0; // of open composites
        xriff_ofstream w;
        w.open(tmp.file("t.xrf"), "random");
        for (int i = 0; i < 60; ++i) {
            const std::string name = (rng() % 3 == 0) ? "" : "n" + std::to_string(rng() % 5);
            const unsigned action = rng() % 4;
            if (action == 0) {
                w.open_composite(name);
                expected.push_back({depth++, "COMPOSIT", name, ""});
            } else if (action == 1 && depth > 0) {
                w.close_composite();
                --depth;
            } else {
                std::string payload(rng() % 40, '\0');
                for (auto& ch : payload)
                    ch = static_cast<char>(rng());
                w.write_text(name, payload);
                expected.push_back({depth, "TXTUTF8 ", name, payload, payload.size()});
            }
        }
        for (; depth > 0; --depth)
            w.close_composite();
        w.close();
        // A composite holds everything written after it while the level stays deeper.
        for (std::size_t i = 0; i < expected.size(); ++i)
            for (std::size_t j = i + 1; expected[i].type == "COMPOSIT" && j < expected.size() &&
                                        expected[j].level > expected[i].level; ++j)
                expected[i].size += 32 + expected[j].payload.size();

        xriff_directory dir;
        dir.open(tmp.file("t.xrf"));
        dir.read_header();
        dir.build();
        EXPECT_EQ(dir.reader().file_name().str(), "random");
        auto got = [&](const auto& e) {
            const auto bytes = dir.read_payload(e);
            const bool composite = e.type.str() == "COMPOSIT";
            return node{e.level, e.type.str(), e.name.str(), composite ? "" : std::string(bytes.begin(), bytes.end()),
                        e.size};
        };
        // Forward (through the buffer), then backward (real seeks).
        std::vector<node> forward, backward(expected.size());
        for (const auto& e : dir)
            forward.push_back(got(e));
        ASSERT_EQ(forward, expected);
        std::transform(dir.entries().rbegin(), dir.entries().rend(), backward.rbegin(), got);
        EXPECT_EQ(backward, expected);
    }
}
