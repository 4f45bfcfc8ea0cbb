#pragma once
// The list: the fields and operations shared by the four forms of
// CSampleImageList. Every edit keeps these rules:
//   1. each data item fits the data type, each label the label type;
//   2. no two labels are equal (Compare);
//   3. the labels are ascending by IsLess;
//   4. each data item's label link leads to a label of the list, and each
//      label's data references are exactly its items, in the order added;
//   5. no label is without data;
//   6. the data items' unique numbers are pairwise different.
// Labels that are not equal to themselves (vectors holding NaN) have no place
// in IsLess's order and equal nothing: the list keeps them after all other
// labels, in the order they came.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <tav/tav.h>

#include "tav/frame/interfaces.hpp"
#include "tav/list/block_sequence.hpp"
#include "tav/list/label_entry.hpp"

namespace Korvu2::TAV::Objects {

class CSampleImageListBase : public ITav {
public:
    // Both types must be given; raises ztkBase::invalid_argument otherwise.
    // Creation and modification time are read now, in that order.
    CSampleImageListBase(SharedHandle<ITavLabelType> labelType, SharedHandle<ITavDataType> dataType);
    ~CSampleImageListBase() override;

    // The caller's type objects themselves; never empty.
    ITavLabelType& LabelType() const { return *label_type_; }
    ITavDataType& DataType() const { return *data_type_; }
    const SharedHandle<ITavLabelType>& LabelTypeHandle() const { return label_type_; }
    const SharedHandle<ITavDataType>& DataTypeHandle() const { return data_type_; }

    const SYSTEMTIME& CreationTime() const { return creation_time_; }
    const SYSTEMTIME& ModificationTime() const { return modification_time_; }
    // Sets the modification time to now.
    void Touch();
    // Both times at once (for building a list from its stored form).
    void SetTimes(const SYSTEMTIME& creation, const SYSTEMTIME& modification);

    // UTF-8. The setter keeps the text up to its first zero byte and does not
    // touch the modification time.
    const std::string& Comment() const { return comment_; }
    void SetComment(std::string utf8);

    // The caller's own data object, or empty. The setter does not test it
    // against the data type and does not touch the modification time.
    const SharedHandle<ITavData>& MaskData() const { return mask_data_; }
    void SetMaskData(SharedHandle<ITavData> mask) { mask_data_ = std::move(mask); }

    std::size_t DataCount() const { return data_.size(); }
    std::size_t LabelCount() const { return labels_.size(); }
    // Index must be below the count.
    const SharedHandle<ITavData>& DataAt(std::size_t index) const { return data_[index]; }
    const SharedHandle<ITavLabel>& LabelAt(std::size_t index) const { return labels_[index].label; }
    // Calls f(item) for each data item in order, without a lookup by index.
    template <class F>
    void ForEachData(F f) const {
        data_.for_each(f);
    }

    // The first data item with the unique number of data.
    std::optional<std::size_t> FindData(const ITavData& data) const;
    // The first label that is label itself or Compare-equal to it.
    std::optional<std::size_t> FindLabel(const ITavLabel& label) const;

    // Adds clones of data and label (an equal label of the list is shared),
    // links them and touches the list. False, with nothing changed, when the
    // label does not fit the label type or the data the data type.
    bool AddItem(const ITavData& data, const ITavLabel& label);
    // Adds item itself (not a clone) with label, as AddItem would add a
    // clone of it, but without touching the list. The caller has checked
    // that both fit the list's types.
    void AddMadeItem(SharedHandle<ITavData> item, const ITavLabel& label);
    // The same for items[i] with *labels[i], for each i in turn, with the
    // links taken in runs; items is left empty. All or nothing: a failure
    // leaves the list's items and labels as they were.
    void AddMadeItems(std::vector<SharedHandle<ITavData>>& items, const std::vector<const ITavLabel*>& labels);
    // Removes data item index (below DataCount()), and its label if that was
    // the label's last item.
    void DeleteData(std::size_t index);
    // Removes label index (below LabelCount()) and all of its data items.
    void DeleteLabel(std::size_t index);

    // To be called after label values were changed in place: the labels may
    // no longer be in order, so the next new label sorts them all again.
    void LabelValuesChanged() { ordered_ = false; }

    // Building a list from its stored form, without sorting or checks; the
    // loader links items and labels itself. Call RecheckOrder() when done.
    void AppendData(SharedHandle<ITavData> data);
    // The same for many items at once, made elsewhere (another thread); data
    // is left empty.
    void AppendData(BlockSequence<SharedHandle<ITavData>>&& data) { data_.splice_back(std::move(data)); }
    void AppendLabel(SharedHandle<ITavLabel> label);
    // Links items and labels as stored: labelOf(d) is the label index of
    // data item d, or none (any value not below LabelCount()). Each label's
    // references are its items in data order, or, when pairs is given, in
    // the order of its pairs (words l0, d0, l1, d1, ..., pairCount pairs,
    // agreeing with labelOf). The caller has checked every index. The link
    // references are taken in runs.
    void LinkItems(const std::function<uint32_t(std::size_t)>& labelOf, const uint32_t* pairs = nullptr,
                   std::size_t pairCount = 0);
    // Finds out whether the labels are in the list's order, so that searches
    // may rely on it.
    void RecheckOrder();

private:
    struct Placement {
        bool found;
        bool regular; // whether the label searched for equals itself
        std::size_t index; // of the equal label, or where a new one goes
    };
    // Binary search, valid only while ordered_; none when the walk must decide.
    std::optional<Placement> SearchOrdered(const ITavLabel& label) const;
    // Where label goes: the index of an equal label of the list (match), or
    // where a new one is inserted without sorting (insertAt), or neither
    // (the labels must be sorted again).
    struct LabelPlace {
        std::optional<std::size_t> match;
        std::optional<std::size_t> insertAt;
        bool newIsRegular = false;
    };
    LabelPlace FindPlace(const ITavLabel& label) const;
    // The list's label equal to label, or a clone of it put in its place
    // (added is then set).
    struct PlacedLabel {
        ITavLabel* label;
        ZTHANDLE handle;
        bool added;
    };
    PlacedLabel PlaceLabel(const ITavLabel& label);
    std::optional<std::size_t> Walk(const ITavLabel& label) const;
    // The labels with extra added, in the list's order, with fresh keys;
    // sets regularCount.
    std::vector<LabelEntry> Sorted(SharedHandle<ITavLabel> extra, std::size_t& regularCount) const;
    std::optional<std::size_t> LocateOwnLabel(const ITavLabel& label) const;
    void RemoveLabelAt(std::size_t index) noexcept;

    SYSTEMTIME creation_time_;
    SYSTEMTIME modification_time_;
    // Members are destroyed in reverse: mask, data, labels, comment, types.
    SharedHandle<ITavLabelType> label_type_;
    SharedHandle<ITavDataType> data_type_;
    std::string comment_;
    BlockSequence<LabelEntry> labels_;
    BlockSequence<SharedHandle<ITavData>> data_;
    SharedHandle<ITavData> mask_data_;

    // While ordered_, labels_[0, regular_count_) equal themselves and are
    // strictly ascending by IsLess, the rest do not equal themselves, and
    // every key is fresh. Keys are recomputed whenever ordered_ is set again.
    bool ordered_ = true;
    std::size_t regular_count_ = 0;
};

// The list behind an ITav (every ITav is one); raises
// ztkBase::invalid_argument otherwise.
CSampleImageListBase& AsList(ITav& list);

} // namespace Korvu2::TAV::Objects
