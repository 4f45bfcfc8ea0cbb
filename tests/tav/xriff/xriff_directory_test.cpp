#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tav/xriff/xriff_directory.hpp"
#include "tav/xriff/xriff_ofstream.hpp"
#include "xriff_test_util.hpp"

using namespace vxIO;
using xriff_test::bytes_builder;

namespace {

struct entry_view {
    uint64_t level;
    std::string type, name;
    uint64_t size;
    bool operator==(const entry_view&) const = default;
};

std::vector<entry_view> view(const xriff_directory& dir) {
    std::vector<entry_view> v;
    for (const auto& e : dir)
        v.push_back({e.level, std::string(e.type.data(), 8), std::string(e.name.data(), 16), e.size});
    return v;
}

entry_view ev(uint64_t level, std::string type, std::string name, uint64_t size) {
    type.resize(8, '\0');
    name.resize(16, '\0');
    return {level, type, name, size};
}

void build_from(xriff_directory& dir, std::string bytes) {
    dir.open_memory(std::move(bytes));
    dir.read_header();
    dir.build();
}

// Builds the directory of any bytes and reads every payload; only the
// library's own error classes may come out.
bool builds_cleanly(const std::string& bytes, std::string* message = nullptr) {
    try {
        xriff_directory dir;
        build_from(dir, bytes);
        for (const auto& e : dir) {
            EXPECT_LE(e.position + e.size, bytes.size());
            EXPECT_EQ(dir.read_payload(e), std::vector<char>(bytes.begin() + e.position,
                                                             bytes.begin() + e.position + e.size));
        }
        return true;
    } catch (const std::xriff_io_error& e) {
        if (message)
            *message = e.what();
    } catch (const std::xriff_error& e) {
        if (message)
            *message = e.what();
    }
    return false;
}

std::string sample_file() {
    return bytes_builder{}
        .header()
        .chunk_header("COMPOSIT", "data", 36 + 32 + 36)
        .chunk("ARRYFL32", "", "abcd")
        .chunk_header("COMPOSIT", "deep", 36)
        .chunk("TXTUTF8 ", "x", "wxyz")
        .chunk("NULLCHNK", "", "")
        .chunk("TXTUTF8 ", "after", "hi")
        .bytes;
}

} // namespace

TEST(XriffDirectory, LevelsFollowTheNesting) {
    struct level_case {
        const char* what;
        std::string bytes;
        std::vector<entry_view> entries;
    };
    const std::vector<level_case> cases = {
        {"header only", bytes_builder{}.header().bytes, {}},
        {"composite of one 4-byte chunk, then a top-level chunk",
         bytes_builder{}.header().chunk_header("COMPOSIT", "c", 36).chunk("ARRYU8  ", "", "1234")
             .chunk("ARRYU8  ", "top", "").bytes,
         {ev(0, "COMPOSIT", "c", 36), ev(1, "ARRYU8  ", "", 4), ev(0, "ARRYU8  ", "top", 0)}},
        {"an empty composite does not raise the level",
         bytes_builder{}.header().chunk_header("COMPOSIT", "e", 0).chunk("ARRYU8  ", "", "1").bytes,
         {ev(0, "COMPOSIT", "e", 0), ev(0, "ARRYU8  ", "", 1)}},
        {"an empty composite as the last child closes its parent",
         bytes_builder{}.header().chunk_header("COMPOSIT", "p", 64).chunk("ARRYU8  ", "", "")
             .chunk_header("COMPOSIT", "e", 0).chunk("ARRYU8  ", "", "").bytes,
         {ev(0, "COMPOSIT", "p", 64), ev(1, "ARRYU8  ", "", 0), ev(1, "COMPOSIT", "e", 0), ev(0, "ARRYU8  ", "", 0)}},
        {"a last grandchild closes two levels; null chunks and NUL padding",
         bytes_builder{}.header().raw(std::string(4, '\0')).chunk_header("COMPOSIT", "a", 68)
             .chunk_header("COMPOSIT", "b", 36).chunk("NULLCHNK", "", "....").raw(std::string(9, '\0'))
             .chunk("TXTUTF8 ", "", "").raw(std::string(2, '\0')).bytes,
         {ev(0, "COMPOSIT", "a", 68), ev(1, "COMPOSIT", "b", 36), ev(2, "NULLCHNK", "", 4), ev(0, "TXTUTF8 ", "", 0)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        xriff_directory dir;
        build_from(dir, c.bytes);
        EXPECT_EQ(view(dir), c.entries);
    }
}

TEST(XriffDirectory, FindChildrenAndReadAt) {
    xriff_directory dir;
    build_from(dir, sample_file() + bytes_builder{}.chunk("TXTUTF8 ", "x", "second").bytes);

    auto data = dir.find("COMPOSIT", "data");
    ASSERT_NE(data, dir.end());
    std::vector<std::string> kids;
    for (const auto& e : dir.children(data))
        kids.push_back(e.type.str() + "/" + e.name.str());
    EXPECT_EQ(kids, (std::vector<std::string>{"ARRYFL32/", "COMPOSIT/deep", "TXTUTF8 /x"}));
    EXPECT_EQ(dir.children(dir.find("COMPOSIT", "deep")).begin()->name.str(), "x");

    // The first match in file order; all name bytes count.
    auto x = dir.find("TXTUTF8 ", "x");
    ASSERT_NE(x, dir.end());
    EXPECT_EQ(x->level, 2u);
    EXPECT_EQ(dir.find("TXTUTF8 ", "x               "), dir.end());
    EXPECT_EQ(dir.find("TXTUTF8", "x"), dir.end());

    char buf[8] = {};
    dir.read_at(*x, buf, 4);
    EXPECT_EQ(std::string(buf, 4), "wxyz");
    dir.read_at(x->position + 1, buf, 2);
    EXPECT_EQ(std::string(buf, 2), "xy");
    try {
        dir.read_at(*x, buf, 5);
        ADD_FAILURE();
    } catch (const std::xriff_io_error& e) {
        EXPECT_STREQ(e.what(), "read past end of chunk");
    }
    EXPECT_THROW(dir.read_at(dir.reader().size() - 1, buf, 2), std::xriff_eof_error);
    EXPECT_THROW(dir.read_at(~uint64_t{0}, buf, 1), std::xriff_eof_error);
}

TEST(XriffDirectory, HostileSizesGiveCleanErrors) {
    const auto max = ~uint64_t{0};
    struct hostile_case {
        const char* what;
        std::string bytes;
        std::string message;
    };
    const std::vector<hostile_case> cases = {
        {"size 2^64-1", bytes_builder{}.header().chunk_header("ARRYU8  ", "", max).bytes, "passed end of file"},
        {"size 2^63", bytes_builder{}.header().chunk_header("ARRYU8  ", "", max / 2 + 1).raw("abc").bytes,
         "passed end of file"},
        {"size one past the file", bytes_builder{}.header().chunk_header("ARRYU8  ", "", 4).raw("abc").bytes,
         "passed end of file"},
        {"composite past the file", bytes_builder{}.header().chunk_header("COMPOSIT", "", 33).chunk("A", "", "").bytes,
         "passed end of file"},
        {"huge composite", bytes_builder{}.header().chunk_header("COMPOSIT", "", max).bytes, "passed end of file"},
        {"truncated header", bytes_builder{}.header().raw("ARRYU8  abc").bytes, "passed end of file"},
        {"child past its composite",
         bytes_builder{}.header().chunk_header("COMPOSIT", "", 36).chunk("A", "", "12345").bytes,
         "chunk runs past the end of its composite"},
        {"header across the composite's end",
         bytes_builder{}.header().chunk_header("COMPOSIT", "", 40).chunk("A", "", "1234").chunk("B", "", "").bytes,
         "chunk runs past the end of its composite"},
        {"inner composite past the outer",
         bytes_builder{}.header().chunk_header("COMPOSIT", "", 32).chunk_header("COMPOSIT", "", 1).raw("x").bytes,
         "chunk runs past the end of its composite"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string message;
        EXPECT_FALSE(builds_cleanly(c.bytes, &message));
        EXPECT_EQ(message, c.message);
    }
}

TEST(XriffDirectory, DeepNestingNeedsNoRecursion) {
    // Each composite holds only the next one; the innermost is empty.
    const int depth = 20000;
    bytes_builder exact;
    exact.header();
    for (int i = 0; i < depth; ++i)
        exact.chunk_header("COMPOSIT", "", uint64_t(depth - 1 - i) * 32);
    xriff_directory dir;
    build_from(dir, exact.bytes);
    ASSERT_EQ(dir.entries().size(), std::size_t(depth));
    EXPECT_EQ(dir.entries().back().level, uint64_t(depth - 1));
}

TEST(XriffDirectory, EveryTruncationAndByteFlipFailsCleanly) {
    const std::string file = sample_file();
    xriff_directory full;
    build_from(full, file);
    // A prefix builds exactly when it ends at a top-level chunk boundary.
    std::vector<std::size_t> boundaries{32};
    for (const auto& e : full)
        if (e.level == 0)
            boundaries.push_back(e.position + e.size);
    for (std::size_t n = 0; n < file.size(); ++n) {
        SCOPED_TRACE(n);
        const bool at_boundary = std::find(boundaries.begin(), boundaries.end(), n) != boundaries.end();
        EXPECT_EQ(builds_cleanly(file.substr(0, n)), at_boundary);
    }
    for (std::size_t i = 0; i < file.size(); ++i)
        for (unsigned char mask : {0x01, 0x10, 0x80, 0xff}) {
            std::string bad = file;
            bad[i] = static_cast<char>(bad[i] ^ mask);
            builds_cleanly(bad);
        }
}

TEST(XriffDirectory, RandomTreesRoundTripThroughAFile) {
    // Writes random nested chunks while keeping the expected entries, then
    // checks that the directory of the file gives them back with their payloads.
    std::mt19937 rng(1234);
    for (int round = 0; round < 20; ++round) {
        xriff_test::temp_path tmp;
        std::vector<entry_view> expected;
        std::vector<std::string> payloads;
        std::vector<std::size_t> open;  // indices of open composites in expected
        xriff_ofstream w;
        w.open(tmp.path(), "random");
        for (int i = 0; i < 60; ++i) {
            const std::string name = (rng() % 3 == 0) ? "" : "n" + std::to_string(rng() % 5);
            const unsigned action = rng() % 4;
            if (action == 0) {
                w.open_composite(name);
                open.push_back(expected.size());
                expected.push_back(ev(open.size() - 1, "COMPOSIT", name, 0));
                payloads.emplace_back();
            } else if (action == 1 && !open.empty()) {
                w.close_composite();
                open.pop_back();
            } else {
                std::string payload(rng() % 40, '\0');
                for (auto& ch : payload)
                    ch = static_cast<char>(rng());
                w.write_text(name, payload);
                expected.push_back(ev(open.size(), "TXTUTF8 ", name, payload.size()));
                payloads.push_back(payload);
            }
        }
        while (!open.empty()) {
            w.close_composite();
            open.pop_back();
        }
        w.close();
        // Composite sizes: everything written after one while the level stays deeper.
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (expected[i].type != std::string("COMPOSIT", 8))
                continue;
            uint64_t size = 0;
            for (std::size_t j = i + 1; j < expected.size() && expected[j].level > expected[i].level; ++j)
                size += 32 + (expected[j].type == std::string("COMPOSIT", 8) ? 0 : expected[j].size);
            expected[i].size = size;
        }

        xriff_directory dir;
        dir.open(tmp.path());
        dir.read_header();
        dir.build();
        EXPECT_EQ(dir.reader().file_name().str(), "random");
        ASSERT_EQ(view(dir), expected);
        // Forward (through the buffer) and backward (real seeks).
        auto check = [&](const auto& e, std::size_t k) {
            const auto bytes = dir.read_payload(e);
            if (e.type != xriff_type::composite) {
                EXPECT_EQ(std::string(bytes.begin(), bytes.end()), payloads[k]);
            }
        };
        std::size_t k = 0;
        for (auto it = dir.begin(); it != dir.end(); ++it)
            check(*it, k++);
        for (auto it = dir.entries().rbegin(); it != dir.entries().rend(); ++it)
            check(*it, --k);
    }
}
