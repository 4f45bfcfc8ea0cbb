// Loading list files: what a sound file gives, the defaults of missing
// chunks, and the refusal of faulty files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "store_test_util.hpp"
#include "support/list_file_bytes.hpp"
#include "tav/store/list_load.hpp"

using namespace store_test;
using namespace tav_test;

namespace {

std::string text_of(const ITavLabel& l) { return dynamic_cast<const CLabelString&>(l).Text(); }

TEST(ListLoad, SoundFileGivesEveryPart) {
    const std::string bytes = list_file(sample_string_vector_file());
    auto result = store::load_list_bytes(bytes);
    ASSERT_EQ(result.code, 0);
    // The store's layout is pinned apart: storing again gives the same file
    // only if data, labels, references, flags, mask, info and types all came in.
    EXPECT_EQ(written(result.list), bytes);
    auto& list = AsList(*result.list);
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(list.DataAt(i)->Label());
        EXPECT_EQ(text_of(*list.DataAt(i)->Label()), i == 1 ? "a" : "b") << i;
    }
    // Loading is no change: a new label still sorts in.
    add(result.list, {7, 8}, "ab");
    EXPECT_EQ(text_of(*list.LabelAt(1)), "ab");
}

TEST(ListLoad, FaultyFilesGetTheirCodes) {
    using Edit = std::function<void(std::vector<FileChunk>&)>;
    // Sets a field of a top-level chunk, or of its child'th child.
    auto set = [](const char* name, int child, std::string FileChunk::*field, std::string value) -> Edit {
        return [=](std::vector<FileChunk>& f) {
            FileChunk* c = chunk_named(f, name);
            (child < 0 ? *c : c->children[child]).*field = value;
        };
    };
    auto info = [&](int child, std::string value) { return set("TavInfo2", child, &FileChunk::payload, value); };
    auto data = [&](std::string value) { return set("TavData", 1, &FileChunk::payload, value); };
    auto refs = [&](std::string value) { return set("LabelRefs", -1, &FileChunk::payload, value); };
    const std::pair<Edit, int32_t> cases[] = {
        {info(3, u32s({2, 2})), ErrInvalidOperation}, // data type enum 2
        {info(4, u32s({7})), ErrInvalidOperation},    // label type enum 7
        {[](auto& f) { chunk_named(f, "TavInfo2")->children.pop_back(); }, ErrInvalidOperation},
        {set("TavInfo2", 3, &FileChunk::name, "x"), ErrInvalidOperation},
        {info(3, std::string("\1\0", 2)), ErrFile},
        {info(3, u32s({1})), ErrFile}, // vector data type without dimension
        {info(1, u16s({2021, 3, 2, 9, 8, 7, 6, 5}).substr(0, 15)), ErrFile},
        {data(f32s({1})), ErrFile},
        {data("abcdefg"), ErrFile},
        {set("TavData", 0, &FileChunk::type, "ZTIMGZ9 "), ErrFile}, // compressed image among vectors
        {set("TavData", 0, &FileChunk::type, "ZTIMG9  "), ErrFile},
        {[](auto& f) { chunk_named(f, "TavLabels")->children.push_back(composite("x", {})); }, ErrFile},
        {set("TavLabels", 0, &FileChunk::payload, ""), ErrFile},
        {set("TavLabels", 0, &FileChunk::type, "ARRYFL32"), ErrFile},
        {refs(u32s({0, 1, 1})), ErrFile},
        {refs(u32s({0, 1}) + "x"), ErrFile},
        {refs(u32s({2, 0})), ErrFile},          // label index past the labels
        {refs(u32s({0, 3})), ErrFile},          // data index past the data
        {refs(u32s({0, 0xFFFFFFFF})), ErrFile},
        {refs(u32s({0, 1, 1, 1})), ErrFile},    // data entry in two pairs
        {refs(u32s({0, 1, 0, 1})), ErrFile},    // data entry twice in one label
        {set("Excluded", -1, &FileChunk::payload, u32s({2})), ErrFile},
        {set("Excluded", -1, &FileChunk::payload, "\1\0"), ErrFile},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        auto file = sample_string_vector_file();
        cases[i].first(file);
        auto result = store::load_list_bytes(list_file(file));
        EXPECT_EQ(result.code, cases[i].second) << i;
        EXPECT_FALSE(result.list) << i;
    }
}

TEST(ListLoad, MissingChunksTakeTheirDefaults) {
    const std::pair<std::vector<std::string>, std::function<void(CSampleImageListBase&)>> cases[] = {
        {{"LabelRefs"},
         [](auto& l) {
             EXPECT_FALSE(l.DataAt(0)->LabelLink());
             EXPECT_TRUE(l.LabelAt(0)->DataReferences().empty());
         }},
        {{"Excluded"}, [](auto& l) { EXPECT_FALSE(l.LabelAt(1)->Excluded()); }},
        {{"MaskData"}, [](auto& l) { EXPECT_FALSE(l.MaskData()); }},
        {{"TavData", "LabelRefs"}, [](auto& l) { EXPECT_EQ(l.DataCount(), 0u); }},
    };
    for (const auto& [names, check] : cases) {
        auto file = sample_string_vector_file();
        std::erase_if(file, [&](const FileChunk& c) { return std::count(names.begin(), names.end(), c.name) > 0; });
        auto result = store::load_list_bytes(list_file(file));
        ASSERT_EQ(result.code, 0) << names[0];
        check(AsList(*result.list));
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

TEST(ListLoad, TruncatedOrFlippedFilesAreRefusedOrStable) {
    const std::string valid = list_file(sample_string_vector_file());
    for (std::size_t n = 0; n < valid.size(); ++n) {
        auto result = store::load_list_bytes(valid.substr(0, n));
        EXPECT_TRUE(result.code == ErrFile || result.code == ErrInvalidOperation) << n;
    }
    // Whatever a load accepts must store and load again to the same file.
    std::size_t accepted = 0;
    auto check = [&](const std::string& bytes) {
        auto result = store::load_list_bytes(bytes);
        if (result.code != 0) {
            EXPECT_TRUE(result.code == ErrFile || result.code == ErrInvalidOperation);
            return;
        }
        ++accepted;
        const std::string first = written(result.list);
        auto again = store::load_list_bytes(first);
        ASSERT_EQ(again.code, 0);
        EXPECT_EQ(written(again.list), first);
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
