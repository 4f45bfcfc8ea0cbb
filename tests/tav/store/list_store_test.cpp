// The bytes a store writes, chunk by chunk, and the reference pairs in them.
#include <gtest/gtest.h>

#include "store_test_util.hpp"
#include "support/list_file_bytes.hpp"
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

TEST(ListStore, ListMatchesTheLayoutByteForByte) {
    // The list of sample_string_vector_file(), its labels added out of order:
    // every chunk, the optional ones included, as list_file() spells it out.
    auto list = list_of(0);
    add(list, {1, 2}, "b");
    add(list, {3, 4}, "a");
    add(list, {5, 6}, "b");
    auto& l = AsList(*list);
    l.SetTimes(kCreated, kModified);
    l.SetComment("note");
    l.LabelAt(1)->SetExcluded(true);
    l.SetMaskData(make_object<CDataFloat32Vector>(std::vector<float>{0.5f, -0.5f}));
    EXPECT_EQ(stored(list), list_file(sample_string_vector_file()));

    // Clearing the flag drops the chunk from the next store.
    l.LabelAt(1)->SetExcluded(false);
    EXPECT_EQ(stored(list).find(fixed("Excluded", 16)), std::string::npos);
}

TEST(ReferencePairs, FollowLabelOrderThenReferenceOrderAndLeaveOutStrangers) {
    auto list = list_of(0, 1);
    // Data order: c a b a c b; labels sorted a b c.
    for (const char* label : {"c", "a", "b", "a", "c", "b"})
        add(list, {float(label[0])}, label);
    const std::vector<uint32_t> pairs{0, 1, 0, 3, 1, 2, 1, 5, 2, 0, 2, 4};
    EXPECT_EQ(store::reference_pairs(AsList(*list)), pairs);

    // A reference to an item outside the list is left out; one to an item
    // that has gone fails the store.
    auto stray = make_object<CDataFloat32Vector>(std::vector<float>{2});
    AsList(*list).LabelAt(0)->DataReferences().push_back(LinkHandle<ITavData>(stray.handle()));
    EXPECT_EQ(store::reference_pairs(AsList(*list)), pairs);
    stray.reset();
    EXPECT_THROW(store::reference_pairs(AsList(*list)), ztkBase::bad_weak_ptr);
    TempDir dir;
    EXPECT_EQ(store::store_list_file(AsList(*list), dir.file("x.tav")), ErrFile);
    EXPECT_TRUE(dir.names().empty());
}

} // namespace
