#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tav/xriff/xriff_ifstream.hpp"
#include "tav/xriff/xriff_ofstream.hpp"
#include "xriff_test_util.hpp"

using namespace vxIO;
using xriff_test::bytes_builder;

namespace {

struct seen_chunk {
    std::string type, name;
    uint64_t size, position;
    bool operator==(const seen_chunk&) const = default;
};

xriff_ifstream::handler_t recorder(std::vector<seen_chunk>& out) {
    return [&out](const xriff_fixed_string<8>& t, const xriff_fixed_string<16>& n, uint64_t s, uint64_t p) {
        out.push_back({std::string(t.data(), 8), n.str(), s, p});
    };
}

template <class E>
std::string error_of(const std::function<void()>& op) {
    try {
        op();
    } catch (const E& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(XriffIfstream, HeaderErrors) {
    const std::string good = bytes_builder{}.header("name").bytes;
    struct header_case {
        std::string bytes;
        std::string message;
    };
    std::vector<header_case> cases;
    for (std::size_t n = 0; n < 16; ++n)
        cases.push_back({good.substr(0, n), "file is too short to be a valid xriff file"});
    for (std::size_t n = 16; n < 32; ++n)
        cases.push_back({good.substr(0, n), "passed end of file"});
    cases.push_back({std::string("ZTKXRIFF\0\0\0\0\0\0\0\0", 16) + std::string(16, 'n'),
                     "xriff file format not compatible with this reader"});
    cases.push_back({"ZTKXRIFF       !" + std::string(16, 'n'), "xriff file format not compatible with this reader"});
    cases.push_back({good, "no error"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        xriff_ifstream r;
        r.open_memory(c.bytes);
        EXPECT_EQ(error_of<std::xriff_io_error>([&] { r.read_header(); }), c.message);
    }

    xriff_ifstream r;
    r.open_memory(good);
    r.read_header();
    EXPECT_EQ(r.file_name().str(), "name");
    EXPECT_FALSE(r.parse_next());
}

TEST(XriffIfstream, ClosedReaderErrors) {
    xriff_ifstream r;
    char b[4];
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { r.read_header(); }), "file not found");
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { r.read(b, 4); }), "file not open");
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { r.parse_next(); }), "file not open");
    EXPECT_EQ(error_of<std::xriff_io_error>([&] { r.open("/no/such/file.xrf"); }), "file open error");
}

TEST(XriffIfstream, NulBytesBetweenAndAfterChunksAreSkipped) {
    const std::string file = bytes_builder{}
                                 .header()
                                 .raw(std::string(3, '\0'))
                                 .chunk("TXTUTF8 ", "a", "xyz")
                                 .raw(std::string(5, '\0'))
                                 .chunk("ARRYU8  ", "b", "")
                                 .raw(std::string(7, '\0'))
                                 .bytes;
    xriff_ifstream r;
    r.open_memory(file);
    r.read_header();
    std::vector<seen_chunk> seen;
    r.set_default_handler(recorder(seen));
    while (r.parse_next()) {
    }
    const std::vector<seen_chunk> expected = {{"TXTUTF8 ", "a", 3, 32 + 3 + 32}, {"ARRYU8  ", "b", 0, 67 + 3 + 5 + 32}};
    EXPECT_EQ(seen, expected);
}

TEST(XriffIfstream, HandlersAreChosenByType) {
    const std::string file = bytes_builder{}
                                 .header()
                                 .chunk("NULLCHNK", "", "....")
                                 .chunk("TXTUTF8 ", "t", "text")
                                 .chunk_header("COMPOSIT", "c", 36)
                                 .chunk("ARRYU32 ", "u", "1234")
                                 .bytes;
    struct dispatch_case {
        const char* what;
        std::function<void(xriff_ifstream&, std::vector<seen_chunk>&, std::vector<seen_chunk>&)> setup;
        std::size_t by_text_handler, by_default;
    };
    const std::vector<dispatch_case> cases = {
        {"null chunks are ignored by default", [](auto& r, auto& t, auto& d) {
             r.set_handler("TXTUTF8 ", recorder(t));
             r.set_default_handler(recorder(d));
         }, 1, 2},
        {"a removed null handler leaves null chunks to the default", [](auto& r, auto& t, auto& d) {
             r.set_handler("TXTUTF8 ", recorder(t));
             r.remove_handler("NULLCHNK");
             r.set_default_handler(recorder(d));
         }, 1, 3},
        {"an empty handler in the table calls nothing", [](auto& r, auto&, auto& d) {
             r.set_handler("TXTUTF8 ", nullptr);
             r.set_default_handler(recorder(d));
         }, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        xriff_ifstream r;
        r.open_memory(file);
        r.read_header();
        std::vector<seen_chunk> text, other;
        c.setup(r, text, other);
        while (r.parse_next()) {
        }
        EXPECT_EQ(text.size(), c.by_text_handler);
        EXPECT_EQ(other.size(), c.by_default);
    }

    // Without a default handler an unknown type cannot be dispatched.
    xriff_ifstream r;
    r.open_memory(file);
    r.read_header();
    EXPECT_TRUE(r.parse_next());
    EXPECT_THROW(r.parse_next(), std::bad_function_call);
}

TEST(XriffIfstream, HandlerMayReadThePayload) {
    // Payloads below and above the skip-by-reading limit, from a real file.
    xriff_test::temp_path tmp;
    const std::string small(100, 's'), big(50000, 'b');
    {
        xriff_ofstream w;
        w.open(tmp.path(), "f");
        w.write_text("small", small);
        w.write_text("big", big);
        w.write_text("small", small);
        w.close();
    }
    xriff_ifstream r;
    r.open(tmp.path());
    r.read_header();
    std::vector<std::string> payloads;
    r.set_default_handler([&](const auto&, const auto& name, uint64_t size, uint64_t) {
        if (name.str() == "big")
            return;  // skipped by the reader
        std::string p(size, '\0');
        r.read(p.data(), size);
        payloads.push_back(p);
    });
    while (r.parse_next()) {
    }
    EXPECT_EQ(payloads, (std::vector<std::string>{small, small}));

    char b[1];
    r.read(b, 0);  // nothing to read at the end is not an error
    EXPECT_THROW(r.read(b, 1), std::xriff_eof_error);
    r.seek(1 << 30);
    EXPECT_THROW(r.read(b, 1), std::xriff_eof_error);
    EXPECT_FALSE(r.parse_next());
}
