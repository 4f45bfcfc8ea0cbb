// The bytes a store writes, chunk by chunk.
#include <gtest/gtest.h>

#include "store_test_util.hpp"
#include "support/list_file_bytes.hpp"
#include "tav/store/list_store.hpp"
#include "tav/store/reference_pairs.hpp"

using namespace store_test;
using namespace tav_test;

namespace {

std::string stored(const SharedHandle<ITav>& list) {
    TempDir dir;
    const std::string path = dir.file("list.tav");
    EXPECT_EQ(store::store_list_file(AsList(*list), path), 0);
    return read_bytes(path);
}

TEST(ListStore, SmallListMatchesTheLayoutByteForByte) {
    auto list = string_vector_list(2);
    add(list, {1, 2}, "a");
    add(list, {3, 4}, "a");
    AsList(*list).SetTimes(kCreated, kModified);
    AsList(*list).SetComment("hi");

    // Spelled out to the byte: header, then each chunk header (type, name, size) and payload.
    std::string expected;
    expected += "ZTKXRIFF        KorvuTav";
    expected += std::string(8, '\0');
    expected += "COMPOSIT" + fixed("TavData", 16) + u64le(2 * (32 + 8));
    expected += "ARRYFL32" + std::string(16, '\0') + u64le(8) + f32s({1, 2});
    expected += "ARRYFL32" + std::string(16, '\0') + u64le(8) + f32s({3, 4});
    expected += "COMPOSIT" + fixed("TavLabels", 16) + u64le(32 + 1);
    expected += "TXTUTF8 " + std::string(16, '\0') + u64le(1) + "a";
    expected += "ARRYU32 " + fixed("LabelRefs", 16) + u64le(16) + u32s({0, 0, 0, 1});
    expected += "COMPOSIT" + fixed("TavInfo2", 16) + u64le((32 + 2) + 2 * (32 + 16) + (32 + 8) + (32 + 4));
    expected += "TXTUTF8 " + std::string(16, '\0') + u64le(2) + "hi";
    expected += std::string("SYSTIME\0", 8) + fixed("CreationTime", 16) + u64le(16) +
                u16s({2021, 3, 2, 9, 8, 7, 6, 5});
    expected += std::string("SYSTIME\0", 8) + "ModificationTime" + u64le(16) + u16s({2022, 4, 5, 10, 11, 12, 13, 14});
    expected += "DATATYPE" + std::string(16, '\0') + u64le(8) + u32s({1, 2});
    expected += std::string("LBLTYPE\0", 8) + std::string(16, '\0') + u64le(4) + u32s({0});
    EXPECT_EQ(stored(list), expected);
}

TEST(ListStore, ExcludedLabelsAndMaskDataGetTheirChunks) {
    auto list = string_vector_list(2);
    add(list, {1, 2}, "b");
    add(list, {3, 4}, "a");
    add(list, {5, 6}, "b");
    add(list, {7, 8}, "c");
    auto& l = AsList(*list);
    l.SetTimes(kCreated, kModified);
    l.SetComment("note");
    l.LabelAt(2)->SetExcluded(true);
    l.SetMaskData(make_object<CDataFloat32Vector>(std::vector<float>{0.5f, -0.5f}));

    // Labels sorted a, b, c; each label's references in the order added.
    const std::string expected = list_file(
        {composite("TavData", {leaf("ARRYFL32", "", f32s({1, 2})), leaf("ARRYFL32", "", f32s({3, 4})),
                               leaf("ARRYFL32", "", f32s({5, 6})), leaf("ARRYFL32", "", f32s({7, 8}))}),
         composite("TavLabels", {leaf("TXTUTF8 ", "", "a"), leaf("TXTUTF8 ", "", "b"), leaf("TXTUTF8 ", "", "c")}),
         leaf("ARRYU32 ", "LabelRefs", u32s({0, 1, 1, 0, 1, 2, 2, 3})), leaf("ARRYU32 ", "Excluded", u32s({2})),
         leaf("ARRYFL32", "MaskData", f32s({0.5f, -0.5f})), info("note", u32s({1, 2}), u32s({0}))});
    EXPECT_EQ(stored(list), expected);

    // Clearing the flag drops the chunk from the next store.
    l.LabelAt(2)->SetExcluded(false);
    EXPECT_EQ(stored(list).find(fixed("Excluded", 16)), std::string::npos);
}

TEST(ReferencePairs, FollowLabelOrderThenReferenceOrder) {
    auto list = string_vector_list(1);
    // Data order: c a b a c b; labels sorted a b c.
    for (const char* label : {"c", "a", "b", "a", "c", "b"})
        add(list, {float(label[0])}, label);
    EXPECT_EQ(store::reference_pairs(AsList(*list)),
              (std::vector<uint32_t>{0, 1, 0, 3, 1, 2, 1, 5, 2, 0, 2, 4}));
}

TEST(ReferencePairs, ReferenceToAnItemOutsideTheListIsLeftOut) {
    auto list = string_vector_list(1);
    add(list, {1}, "a");
    auto stray = make_object<CDataFloat32Vector>(std::vector<float>{2});
    AsList(*list).LabelAt(0)->DataReferences().push_back(LinkHandle<ITavData>(stray.handle()));
    EXPECT_EQ(store::reference_pairs(AsList(*list)), (std::vector<uint32_t>{0, 0}));

    // An item that has gone fails the store.
    stray.reset();
    EXPECT_THROW(store::reference_pairs(AsList(*list)), ztkBase::bad_weak_ptr);
    TempDir dir;
    EXPECT_EQ(store::store_list_file(AsList(*list), dir.file("x.tav")), ErrFile);
    EXPECT_TRUE(dir.names().empty());
}

} // namespace
