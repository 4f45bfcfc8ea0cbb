// TavStore, TavStoreW, TavLoad and TavLoadW: a stored list loads back equal,
// and every failure has its code and reported name.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "list_fixture.hpp"
#include "support/list_file_bytes.hpp"

using namespace list_test;

namespace {

// Items over three labels added out of order, label 1 excluded, a mask and
// a comment.
struct SampleList : StringVectorList {
    SampleList() {
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(add(("label \xC3\xA4 " + std::to_string(i * 2 % 3)).c_str(), float(i)), 0);
        TavSetExcludedFlag(TavGetLabel(list, 1), 1);
        const float mask = 0.5f;
        TAVDATA data = TavCreateVectorData(&mask, 1);
        EXPECT_EQ(TavSetMaskData(list, data), 0);
        ZtRelease(data);
        EXPECT_EQ(TavSetCommentW(list, u"comment \u00e9\u4e2d"), 0);
    }
};

} // namespace

TEST(StoreLoad, AListLoadsBackEqualAndStoresToTheSameBytes) {
    ScratchDir dir;
    SampleList l;
    ReportLog log;
    ASSERT_EQ(TavStore(l.list, dir.file("list.tav").c_str()), 0);
    EXPECT_EQ(ZtRefCount(l.list), 1);

    TAV loaded = 0;
    ASSERT_EQ(TavLoadW(std::filesystem::path(dir.file("list.tav")).u16string().c_str(), &loaded), 0);
    EXPECT_EQ(log.take(), Reports{});
    EXPECT_EQ(ZtRefCount(loaded), 1);
    // Storing again gives the same bytes only if every part came back in.
    ASSERT_EQ(TavStoreW(loaded, std::filesystem::path(dir.file("again.tav")).u16string().c_str()), 0);
    EXPECT_EQ(dir.read("again.tav"), dir.read("list.tav"));
    ZtRelease(loaded);
}

TEST(StoreLoad, StoreFailuresReportUnderTheInnerName) {
    ScratchDir dir;
    SampleList l;
    const TAVLABELTYPE notAList = l.labelType;
    const std::string missing = dir.file("missing/list.tav"), a = dir.file("a.tav");
    const Reports invalid = refusal(TAV_E_INVALID_ARGUMENT, "TavStore_native");
    const Reports file = refusal(TAV_E_FILE, "TavStore_native");
    expect_calls({
        {"null list", [&] { return TavStore(0, a.c_str()); }, TAV_E_INVALID_ARGUMENT, invalid},
        {"not a list", [&] { return TavStoreW(notAList, u"a.tav"); }, TAV_E_INVALID_ARGUMENT, invalid},
        {"missing directory", [&] { return TavStore(l.list, missing.c_str()); }, TAV_E_FILE, file},
        {"null wide path", [&] { return TavStoreW(l.list, nullptr); }, TAV_E_FILE, file},
        {"null narrow path", [&] { return TavStore(l.list, nullptr); }, TAV_E_FILE, file},
        {"directory as path", [&] { return TavStore(l.list, dir.file("").c_str()); }, TAV_E_FILE, file},
    });
    EXPECT_EQ(ZtRefCount(l.list), 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

TEST(StoreLoad, LoadFailuresKeepTheOutVariable) {
    using namespace tav_test;
    ScratchDir dir;
    auto file = sample_string_vector_file();
    chunk_named(file, "TavInfo2")->children[3].payload = u32s({2, 5});
    const std::string enum2 = dir.write("enum2.tav", list_file(file));
    const std::string good = dir.write("good.tav", list_file(sample_string_vector_file()));
    TAV out = 12345;
    auto load = [&](std::string path) { return [&out, path] { return TavLoad(path.c_str(), &out); }; };
    auto native = [](int32_t code) { return refusal(code, "TavLoad_native"); };
    expect_calls({
        {"missing", load(dir.file("missing.tav")), TAV_E_FILE, native(TAV_E_FILE)},
        {"empty", load(dir.write("empty.tav", "")), TAV_E_FILE, native(TAV_E_FILE)},
        {"data type enum 2", load(enum2), TAV_E_INVALID_OPERATION, native(TAV_E_INVALID_OPERATION)},
        {"null wide", [&] { return TavLoadW(nullptr, &out); }, TAV_E_FILE, native(TAV_E_FILE)},
        {"null out", [&] { return TavLoad(good.c_str(), nullptr); }, TAV_E_INVALID_ARGUMENT,
         refusal(TAV_E_INVALID_ARGUMENT, "TavLoad")},
    });
    EXPECT_EQ(out, 12345u);
    EXPECT_EQ(TavLoad(good.c_str(), &out), 0);
    EXPECT_EQ(TavGetNumDataEntries(out), 3);
    ZtRelease(out);
}

// A stored comment may hold a NUL; the getters give the text before it, and a
// too small buffer leaves size and buffer as they were.
TEST(StoreLoad, CommentGettersStopAtANulInALoadedComment) {
    using namespace tav_test;
    ScratchDir dir;
    auto file = sample_string_vector_file();
    chunk_named(file, "TavInfo2")->children[0].payload = std::string("ab\0cd", 5);
    TAV list = 0;
    ASSERT_EQ(TavLoad(dir.write("nul.tav", list_file(file)).c_str(), &list), 0);
    Owned owned{{list}};
    char text[8] = "xxxxxxx";
    char16_t wide[8] = u"xxxxxxx";
    uint64_t size = 0, wideSize = 0;
    ASSERT_EQ(TavGetComment(list, nullptr, &size), 0);
    ASSERT_EQ(TavGetCommentW(list, nullptr, &wideSize), 0);
    EXPECT_EQ(std::vector<uint64_t>({size, wideSize}), std::vector<uint64_t>({3, 3}));
    size = 2;
    expect_calls({{"too small", [&] { return TavGetComment(list, text, &size); }, TAV_E_BUFFER_TOO_SMALL,
                   refusal(TAV_E_BUFFER_TOO_SMALL, "TavGetComment_native")}});
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(std::string(text), "xxxxxxx");
    size = 8;
    ASSERT_EQ(TavGetComment(list, text, &size), 0);
    ASSERT_EQ(TavGetCommentW(list, wide, &wideSize), 0);
    EXPECT_EQ(std::string(text, 4), std::string("ab\0x", 4));
    EXPECT_EQ(std::u16string(wide), u"ab");
    EXPECT_EQ(size, 3u);
}
