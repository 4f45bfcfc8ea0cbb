// TavStore, TavStoreW, TavLoad and TavLoadW: every failure has its code and
// reported name.
#include "list_fixture.hpp"
#include "support/list_file_bytes.hpp"
#include "support/temp_dir.hpp"

using namespace list_test;
using namespace tav_test;

namespace {

// Writes the bytes as a file in the folder and gives its path.
std::string written(const TempDir& dir, const char* name, const std::string& bytes) {
    write_bytes(dir.file(name), bytes);
    return dir.file(name);
}

std::u16string wide(const std::string& path) { return std::filesystem::path(path).u16string(); }

} // namespace

TEST(StoreLoad, StoreFailuresReportUnderTheInnerName) {
    TempDir dir;
    StringVectorList l{{"a", 1}};
    const std::string missing = dir.file("missing/list.tav"), a = dir.file("a.tav");
    const int32_t invalid = TAV_E_INVALID_ARGUMENT, file = TAV_E_FILE;
    const char* native = "TavStore_native";
    expect_calls({
        fails("null list", [&] { return TavStore(0, a.c_str()); }, invalid, native),
        fails("not a list", [&] { return TavStoreW(l.labelType, u"a.tav"); }, invalid, native),
        fails("missing directory", [&] { return TavStore(l.list, missing.c_str()); }, file, native),
        fails("null wide path", [&] { return TavStoreW(l.list, nullptr); }, file, native),
        fails("null narrow path", [&] { return TavStore(l.list, nullptr); }, file, native),
        fails("directory as path", [&] { return TavStore(l.list, dir.file("").c_str()); }, file, native),
    });
    EXPECT_EQ(ZtRefCount(l.list), 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_EQ(TavStoreW(l.list, wide(a).c_str()), 0);
}

TEST(StoreLoad, LoadFailuresKeepTheOutVariable) {
    TempDir dir;
    auto file = sample_string_vector_file();
    chunk_named(file, "TavInfo2")->children[3].payload = u32s({2, 5});
    const std::string good = written(dir, "good.tav", list_file(sample_string_vector_file()));
    TAV out = 12345;
    auto load = [&](const char* what, std::string path, int32_t code) {
        return fails(what, [&out, path] { return TavLoad(path.c_str(), &out); }, code, "TavLoad_native");
    };
    expect_calls({
        load("missing", dir.file("missing.tav"), TAV_E_FILE),
        load("empty", written(dir, "empty.tav", ""), TAV_E_FILE),
        load("data type enum 2", written(dir, "enum2.tav", list_file(file)), TAV_E_INVALID_OPERATION),
        fails("null wide", [&] { return TavLoadW(nullptr, &out); }, TAV_E_FILE, "TavLoad_native"),
        fails("null out", [&] { return TavLoad(good.c_str(), nullptr); }, TAV_E_INVALID_ARGUMENT, "TavLoad"),
    });
    EXPECT_EQ(out, 12345u);
    EXPECT_EQ(TavLoadW(wide(good).c_str(), &out), 0);
    EXPECT_EQ(TavGetNumDataEntries(out), 3);
    ZtRelease(out);
}

// A stored comment may hold a NUL; the getters give the text before it, and a
// too small buffer leaves size and buffer as they were.
TEST(StoreLoad, CommentGettersStopAtANulInALoadedComment) {
    TempDir dir;
    auto file = sample_string_vector_file();
    chunk_named(file, "TavInfo2")->children[0].payload = std::string("ab\0cd", 5);
    TAV list = 0;
    ASSERT_EQ(TavLoad(written(dir, "nul.tav", list_file(file)).c_str(), &list), 0);
    Owned owned{{list}};
    char text[8] = "xxxxxxx";
    char16_t wide[8] = u"xxxxxxx";
    uint64_t size = 0, wideSize = 0;
    ASSERT_EQ(TavGetComment(list, nullptr, &size), 0);
    ASSERT_EQ(TavGetCommentW(list, nullptr, &wideSize), 0);
    EXPECT_EQ(std::vector<uint64_t>({size, wideSize}), std::vector<uint64_t>({3, 3}));
    size = 2;
    expect_calls({fails("too small", [&] { return TavGetComment(list, text, &size); }, TAV_E_BUFFER_TOO_SMALL,
                        "TavGetComment_native")});
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(std::string(text), "xxxxxxx");
    size = 8;
    ASSERT_EQ(TavGetComment(list, text, &size), 0);
    ASSERT_EQ(TavGetCommentW(list, wide, &wideSize), 0);
    EXPECT_EQ(std::string(text, 4), std::string("ab\0x", 4));
    EXPECT_EQ(std::u16string(wide), u"ab");
    EXPECT_EQ(size, 3u);
}

// A list large enough to be made on two threads loads back whole and stores
// to the same bytes; a pixel out of its 4-bit range in either half of the
// items fails the load.
TEST(StoreLoad, AListMadeOnTwoThreadsLoadsWholeOrNotAtAll) {
    constexpr int kItems = 4200, kSide = 64;
    constexpr uint32_t kFourBits = 0x104;
    TempDir dir;
    TAVLABELTYPE lt = TavCreateLabelTypeString();
    TAVDATATYPE dt = TavCreateDataTypeImageEx(kSide, kSide, 1, kFourBits, 0, 0);
    TAV list = TavCreate(lt, dt);
    ZTIMAGE image = ZtImageCreate(kSide, kSide, 1, kFourBits);
    for (int i = 0; i < kItems; ++i) {
        ZtImageSetPixel(image, 0, i % kSide, 1, double(i % 16));
        ASSERT_EQ(TavAddNamedImageItem(list, std::to_string(i % 5).c_str(), image, 0, 0), 0);
    }
    const std::string path = dir.file("large.tav");
    ASSERT_EQ(TavStore(list, path.c_str()), 0);
    TAV loaded = 0;
    ASSERT_EQ(TavLoad(path.c_str(), &loaded), 0);
    ASSERT_EQ(TavStore(loaded, dir.file("again.tav").c_str()), 0);
    EXPECT_EQ(read_bytes(dir.file("again.tav")), read_bytes(path));
    // Items lie back to back after the file's and the composite's headers:
    // a chunk header, the image's 28-byte header, then the pixels.
    const std::string bytes = read_bytes(path);
    const std::size_t chunk = 32 + 28 + kSide * kSide;
    for (int item : {7, kItems - 3}) {
        std::string damaged = bytes;
        damaged[64 + item * chunk + 32 + 28] = char(0x7F);
        write_bytes(dir.file("damaged.tav"), damaged);
        TAV none = 0;
        EXPECT_EQ(TavLoad(dir.file("damaged.tav").c_str(), &none), TAV_E_FILE) << item;
        EXPECT_EQ(none, 0u);
    }
    for (ZTHANDLE h : {loaded, list, ZTHANDLE(image), ZTHANDLE(lt), ZTHANDLE(dt)})
        ZtRelease(h);
}
