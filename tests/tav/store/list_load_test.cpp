// Loading list files: what a sound file gives, the defaults of missing
// chunks, and the refusal of faulty files.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "store_test_util.hpp"
#include "support/list_file_bytes.hpp"
#include "tav/port/local_time.hpp"
#include "tav/store/list_load.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/store/list_store.hpp"

using namespace store_test;
using namespace tav_test;

namespace {

std::vector<float> values_of(const ITavData& d) { return dynamic_cast<const CDataFloat32Vector&>(d).Values(); }
std::string text_of(const ITavLabel& l) { return dynamic_cast<const CLabelString&>(l).Text(); }

std::string label_of(const ITavData& d) {
    auto label = d.Label();
    return label ? text_of(*label) : "";
}

store::LoadResult load(const std::vector<FileChunk>& chunks) { return store::load_list_bytes(list_file(chunks)); }

bool same_time(const SYSTEMTIME& a, const SYSTEMTIME& b) { return std::memcmp(&a, &b, sizeof a) == 0; }


TEST(ListLoad, SoundFileGivesEveryPart) {
    auto result = load(sample_string_vector_file());
    ASSERT_EQ(result.code, 0);
    auto& list = AsList(*result.list);
    ASSERT_EQ(list.DataCount(), 3u);
    ASSERT_EQ(list.LabelCount(), 2u);
    EXPECT_EQ(values_of(*list.DataAt(2)), (std::vector<float>{5, 6}));
    EXPECT_EQ(label_of(*list.DataAt(0)), "b");
    EXPECT_EQ(label_of(*list.DataAt(1)), "a");
    EXPECT_EQ(label_of(*list.DataAt(2)), "b");
    ASSERT_EQ(list.LabelAt(1)->DataReferences().size(), 2u);
    EXPECT_EQ(list.LabelAt(1)->DataReferences()[1].handle(), list.DataAt(2).handle());
    EXPECT_FALSE(list.LabelAt(0)->Excluded());
    EXPECT_TRUE(list.LabelAt(1)->Excluded());
    ASSERT_TRUE(list.MaskData());
    EXPECT_EQ(values_of(*list.MaskData()), (std::vector<float>{0.5f, -0.5f}));
    EXPECT_EQ(list.Comment(), "note");
    EXPECT_TRUE(same_time(list.CreationTime(), kCreated));
    EXPECT_TRUE(same_time(list.ModificationTime(), kModified));
    EXPECT_EQ(list.DataType().TypeEnum(), 1);
    EXPECT_EQ(list.LabelType().TypeEnum(), 0);

    // Loading is no change: a new label still sorts in.
    add(result.list, {7, 8}, "ab");
    EXPECT_EQ(text_of(*list.LabelAt(1)), "ab");
}

TEST(ListLoad, FaultyFilesGetTheirCodes) {
    using Edit = std::function<void(std::vector<FileChunk>&)>;
    auto payload = [](const char* name, std::string bytes) -> Edit {
        return [=](std::vector<FileChunk>& f) { chunk_named(f, name)->payload = bytes; };
    };
    struct Case {
        const char* what;
        Edit edit;
        int32_t code;
    };
    const Case cases[] = {
        {"data type enum 2", [](auto& f) { chunk_named(f, "TavInfo2")->children[3].payload = u32s({2, 2}); },
         ErrInvalidOperation},
        {"label type enum 7", [](auto& f) { chunk_named(f, "TavInfo2")->children[4].payload = u32s({7}); },
         ErrInvalidOperation},
        {"no label type", [](auto& f) { chunk_named(f, "TavInfo2")->children.pop_back(); }, ErrInvalidOperation},
        {"named data type", [](auto& f) { chunk_named(f, "TavInfo2")->children[3].name = "x"; }, ErrInvalidOperation},
        {"data type of two bytes", [](auto& f) { chunk_named(f, "TavInfo2")->children[3].payload = "\1\0"; },
         ErrFile},
        {"vector data type without dimension",
         [](auto& f) { chunk_named(f, "TavInfo2")->children[3].payload = u32s({1}); }, ErrFile},
        {"data of another dimension", [](auto& f) { chunk_named(f, "TavData")->children[1].payload = f32s({1}); },
         ErrFile},
        {"data of a size not a multiple of 4",
         [](auto& f) { chunk_named(f, "TavData")->children[1].payload = "abcdefg"; }, ErrFile},
        {"compressed image among the data",
         [](auto& f) { chunk_named(f, "TavData")->children[0].type = "ZTIMGZ9 "; }, ErrFile},
        {"image data in a vector list", [](auto& f) { chunk_named(f, "TavData")->children[0].type = "ZTIMG9  "; },
         ErrFile},
        {"nested composite among the labels",
         [](auto& f) { chunk_named(f, "TavLabels")->children.push_back(composite("x", {})); }, ErrFile},
        {"empty label text", [](auto& f) { chunk_named(f, "TavLabels")->children[0].payload = ""; }, ErrFile},
        {"vector label in a string list", [](auto& f) { chunk_named(f, "TavLabels")->children[0].type = "ARRYFL32"; },
         ErrFile},
        {"references of an odd word count", payload("LabelRefs", u32s({0, 1, 1})), ErrFile},
        {"references of a size not a multiple of 4", payload("LabelRefs", u32s({0, 1}) + "x"), ErrFile},
        {"label index past the labels", payload("LabelRefs", u32s({2, 0})), ErrFile},
        {"data index past the data", payload("LabelRefs", u32s({0, 3})), ErrFile},
        {"data index 0xFFFFFFFF", payload("LabelRefs", u32s({0, 0xFFFFFFFF})), ErrFile},
        {"data entry in two pairs", payload("LabelRefs", u32s({0, 1, 1, 1})), ErrFile},
        {"data entry twice in one label", payload("LabelRefs", u32s({0, 1, 0, 1})), ErrFile},
        {"excluded index past the labels", payload("Excluded", u32s({2})), ErrFile},
        {"excluded of a size not a multiple of 4", payload("Excluded", "\1\0"), ErrFile},
        {"creation time of 15 bytes",
         [](auto& f) { chunk_named(f, "TavInfo2")->children[1].payload.resize(15); }, ErrFile},
    };
    for (const Case& c : cases) {
        auto file = sample_string_vector_file();
        c.edit(file);
        auto result = load(file);
        EXPECT_EQ(result.code, c.code) << c.what;
        EXPECT_FALSE(result.list) << c.what;
    }
}

TEST(ListLoad, MissingChunksTakeTheirDefaults) {
    struct Case {
        const char* name;
        std::function<void(store::LoadResult&)> check;
    };
    const Case cases[] = {
        {"LabelRefs",
         [](auto& r) {
             auto& l = AsList(*r.list);
             EXPECT_FALSE(l.DataAt(0)->LabelLink());
             EXPECT_TRUE(l.LabelAt(0)->DataReferences().empty());
         }},
        {"Excluded", [](auto& r) { EXPECT_FALSE(AsList(*r.list).LabelAt(1)->Excluded()); }},
        {"MaskData", [](auto& r) { EXPECT_FALSE(AsList(*r.list).MaskData()); }},
        {"TavData", [](auto& r) { EXPECT_EQ(AsList(*r.list).DataCount(), 0u); }},
    };
    for (const Case& c : cases) {
        auto file = sample_string_vector_file();
        std::erase_if(file, [&](const FileChunk& chunk) { return chunk.name == c.name; });
        if (std::string(c.name) == "TavData") // the references would point at nothing
            std::erase_if(file, [](const FileChunk& chunk) { return chunk.name == "LabelRefs"; });
        auto result = load(file);
        ASSERT_EQ(result.code, 0) << c.name;
        c.check(result);
    }
}

TEST(ListLoad, NotAListFileIsRefused) {
    const std::string valid = list_file(sample_string_vector_file());
    for (std::string bytes : {std::string(), std::string("ZTKXRIFF"), valid.substr(0, 32),
                              "ZTKXRIFF" + std::string(8, '\0') + valid.substr(16)}) {
        auto result = store::load_list_bytes(bytes);
        EXPECT_EQ(result.code, bytes.size() == 32 ? ErrInvalidOperation : ErrFile) << bytes.size();
    }
    EXPECT_EQ(store::load_list_file("/nonexistent/list.tav").code, ErrFile);
    EXPECT_EQ(store::load_list_file("/").code, ErrFile);
}

// The bytes of a stored list, written without the replacement (and its
// flush to the device), which this test does not need.
std::string written(const SharedHandle<ITav>& list, const TempDir& dir) {
    const std::string path = dir.file("written.tav");
    vxIO::xriff_ofstream writer;
    writer.open(path, store::kFileName);
    store::write_list(writer, AsList(*list));
    writer.close();
    return read_bytes(path);
}

// Whatever a load accepts must store and load again to the same file.
void expect_stable(const store::LoadResult& result) {
    static const TempDir dir(TempDir::memory_base());
    const std::string first = written(result.list, dir);
    auto again = store::load_list_bytes(first);
    ASSERT_EQ(again.code, 0);
    EXPECT_EQ(written(again.list, dir), first);
}

TEST(ListLoad, EveryTruncationIsRefused) {
    const std::string valid = list_file(sample_string_vector_file());
    for (std::size_t n = 0; n < valid.size(); ++n) {
        auto result = store::load_list_bytes(valid.substr(0, n));
        EXPECT_TRUE(result.code == ErrFile || result.code == ErrInvalidOperation) << n;
    }
}

TEST(ListLoad, FlippedBytesNeverBreakTheLoad) {
    const std::string valid = list_file(sample_string_vector_file());
    std::size_t accepted = 0;
    auto check = [&](const std::string& bytes) {
        auto result = store::load_list_bytes(bytes);
        if (result.code == 0) {
            ++accepted;
            expect_stable(result);
        } else {
            EXPECT_TRUE(result.code == ErrFile || result.code == ErrInvalidOperation);
        }
    };
    for (std::size_t i = 0; i < valid.size(); ++i)
        for (unsigned char mask : {0x01, 0x80, 0xFF}) {
            std::string bytes = valid;
            bytes[i] = static_cast<char>(bytes[i] ^ mask);
            check(bytes);
        }
    std::mt19937 random(12345);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = valid;
        for (int k = 0; k < 4; ++k)
            bytes[random() % bytes.size()] = static_cast<char>(random());
        check(bytes);
    }
    // Payload bytes (values, texts, times) may change freely.
    EXPECT_GT(accepted, 100u);
}

} // namespace
