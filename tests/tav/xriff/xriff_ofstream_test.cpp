#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tav/xriff/xriff_directory.hpp"
#include "tav/xriff/xriff_ofstream.hpp"
#include "xriff_test_util.hpp"

using namespace vxIO;
using xriff_test::bytes_builder;
using xriff_test::temp_path;

namespace {

// A streamable object that counts prepare and clear and can fail in prepare.
struct counting_object : ixriff_streamable {
    std::string type = "ARRYU8  ", name, payload = "xy";
    bool fail_prepare = false;
    int prepared = 0, cleared = 0;

    void prepare() override {
        ++prepared;
        if (fail_prepare)
            throw std::runtime_error("prepare failed");
    }
    xriff_fixed_string<8> chunk_type() const override { return type; }
    xriff_fixed_string<16> chunk_name() const override { return name; }
    uint64_t chunk_size() const override { return payload.size(); }
    const void* chunk_data() const override { return payload.data(); }
    void clear() override { ++cleared; }
};

std::vector<std::string> entry_names(const std::filesystem::path& p) {
    xriff_directory dir;
    dir.open(p);
    dir.read_header();
    dir.build();
    std::vector<std::string> names;
    for (const auto& e : dir)
        names.push_back(e.name.str());
    return names;
}

} // namespace

TEST(XriffOfstream, NestedCompositesHaveThePinnedLayout) {
    temp_path tmp;
    xriff_ofstream w;
    w.open(tmp.path(), "test");
    w << set_chunk_name("outer");
    w.open_composite();
    w.write_text({}, "abcd");
    w.open_composite("inner");
    const std::vector<uint32_t> nums{1, 2};
    w.write_u32_array("nums", nums);
    w.close_composite();
    w.close_composite();
    w.open_composite("empty");
    w.close_composite();
    counting_object time;
    time.type = "SYSTIME";
    time.name = "ModificationTime";  // 16 letters, no terminator
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
                                     .raw(std::string("SYSTIME\0", 8)).raw("ModificationTime").u64(2).raw("xy")
                                     .bytes;
    ASSERT_EQ(expected.size(), 238u);
    EXPECT_EQ(xriff_test::read_file(tmp.path()), expected);
    EXPECT_EQ(time.prepared, 1);
    EXPECT_EQ(time.cleared, 1);
}

TEST(XriffOfstream, PendingNameAppliesToExactlyOneHeader) {
    struct step_case {
        const char* what;
        std::function<void(xriff_ofstream&)> write;
        std::vector<std::string> names;
    };
    const std::vector<step_case> cases = {
        {"only the first of two chunks is named",
         [](xriff_ofstream& w) {
             w << set_chunk_name("first");
             w.write_text({}, "a");
             w.write_text({}, "b");
         },
         {"first", ""}},
        {"a given name wins and the pending name is dropped",
         [](xriff_ofstream& w) {
             w << set_chunk_name("pending");
             w.write_text("given", "a");
             w.write_text({}, "b");
         },
         {"given", ""}},
        {"an object's own name wins",
         [](xriff_ofstream& w) {
             counting_object o;
             o.name = "own";
             w << set_chunk_name("pending");
             w.write_object(o);
             w.write_object(o);
         },
         {"own", "own"}},
        {"a composite takes the pending name, its child does not",
         [](xriff_ofstream& w) {
             w << set_chunk_name("box");
             w.open_composite();
             w.write_u32_array({}, std::vector<uint32_t>{7});
             w.close_composite();
         },
         {"box", ""}},
        {"the last pending name set counts",
         [](xriff_ofstream& w) {
             w << set_chunk_name("one") << set_chunk_name("two");
             counting_object o;
             w.write_object(o);
         },
         {"two"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        temp_path tmp;
        xriff_ofstream w;
        w.open(tmp.path(), "names");
        c.write(w);
        w.close();
        EXPECT_EQ(entry_names(tmp.path()), c.names);
    }
}

TEST(XriffOfstream, UsageErrorsCarryTheirMessages) {
    temp_path tmp;
    xriff_ofstream closed;
    counting_object o;
    const std::vector<std::pair<std::function<void()>, std::string>> usage = {
        {[&] { closed.write_text({}, "a"); }, "file not open"},
        {[&] { closed.write_u32_array({}, {}); }, "file not open"},
        {[&] { closed.open_composite(); }, "file not open"},
        {[&] { closed.write_object(o); }, "file not open"},
        {[&] { closed.close(); }, "file not open"},
        {[&] { closed.close_composite(); }, "no open composites available"},
        {[&] {
             xriff_ofstream w;
             w.open(tmp.path(), "x");
             w.open(tmp.path(), "x");
         },
         "operation not permitted while file is open"},
        {[&] {
             xriff_ofstream w;
             w.open(tmp.path(), "x");
             w.open_composite();
             w.close_composite();
             w.close_composite();
         },
         "no open composites available"},
    };
    for (const auto& [op, message] : usage) {
        try {
            op();
            ADD_FAILURE() << "no error, expected " << message;
        } catch (const std::xriff_error& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
    EXPECT_EQ(o.prepared, 0);

    xriff_ofstream w;
    try {
        w.open(tmp.path() / "no" / "such" / "dir", "x");
        ADD_FAILURE() << "opened a file in a missing directory";
    } catch (const std::xriff_io_error& e) {
        EXPECT_STREQ(e.what(), "file open error");
    }
}

TEST(XriffOfstream, FailedFlushOrWriteIsReported) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // Small chunks sit in the buffer until the final flush, which must fail.
    {
        xriff_ofstream w;
        w.open("/dev/full", "x");
        w.write_text({}, "small");
        try {
            w.close();
            ADD_FAILURE() << "close reported success";
        } catch (const std::xriff_io_error& e) {
            EXPECT_STREQ(e.what(), "write failed");
        }
        EXPECT_FALSE(w.is_open());
    }
    // A payload larger than the buffer fails in the write itself; the object
    // is cleared all the same.
    {
        xriff_ofstream w;
        w.open("/dev/full", "x");
        counting_object big;
        big.payload.assign(1 << 20, 'z');
        try {
            w.write_object(big);
            ADD_FAILURE() << "write reported success";
        } catch (const std::xriff_io_error& e) {
            EXPECT_STREQ(e.what(), "write failed");
        }
        EXPECT_EQ(big.prepared, 1);
        EXPECT_EQ(big.cleared, 1);
        EXPECT_THROW(w.close(), std::xriff_io_error);
    }
}

TEST(XriffOfstream, ObjectIsClearedWhenPrepareFails) {
    temp_path tmp;
    xriff_ofstream w;
    w.open(tmp.path(), "x");
    counting_object o;
    o.fail_prepare = true;
    w << set_chunk_name("lost");
    EXPECT_THROW(w.write_object(o), std::runtime_error);
    EXPECT_EQ(o.cleared, 1);
    EXPECT_EQ(w.tell(), 32u);  // nothing written
    EXPECT_TRUE(w.pending_name().empty());
    w.close();
}
