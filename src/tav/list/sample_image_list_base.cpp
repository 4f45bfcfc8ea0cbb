#include "tav/list/sample_image_list_base.hpp"

#include <algorithm>
#include <stdexcept>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tav/list/safe_merge_sort.hpp"
#include "tav/port/local_time.hpp"

namespace Korvu2::TAV::Objects {

namespace {

// Room for one more element, growing geometrically, so that the append
// after it cannot fail.
template <class T>
void reserve_one_more(std::vector<T>& items) {
    if (items.size() == items.capacity())
        items.reserve(std::max<std::size_t>(4, 2 * items.size()));
}

// A label that equals itself has a place in IsLess's order.
bool is_regular(const ITavLabel& label) {
    return label.Compare(label) == CompareEqual;
}

} // namespace

CSampleImageListBase::CSampleImageListBase(SharedHandle<ITavLabelType> labelType, SharedHandle<ITavDataType> dataType)
    : creation_time_(port::local_time_now()),
      modification_time_(port::local_time_now()),
      label_type_(std::move(labelType)),
      data_type_(std::move(dataType)) {
    if (!label_type_ || !data_type_)
        throw ztkBase::invalid_argument("list types");
}

// The items go in runs, one lock of the handle table for each run.
CSampleImageListBase::~CSampleImageListBase() {
    constexpr std::size_t kRun = 4096;
    try {
        std::vector<ZTHANDLE> run;
        run.reserve(std::min(kRun, data_.size()));
        data_.for_each([&](SharedHandle<ITavData>& item) {
            run.push_back(item.release());
            if (run.size() == kRun) {
                ZtReleaseHandles(run.data(), run.size());
                run.clear();
            }
        });
        ZtReleaseHandles(run.data(), run.size());
    } catch (...) {
        // No room: the items go one by one.
    }
}

void CSampleImageListBase::Touch() {
    modification_time_ = port::local_time_now();
}

void CSampleImageListBase::SetTimes(const SYSTEMTIME& creation, const SYSTEMTIME& modification) {
    creation_time_ = creation;
    modification_time_ = modification;
}

void CSampleImageListBase::SetComment(std::string utf8) {
    if (auto zero = utf8.find('\0'); zero != std::string::npos)
        utf8.resize(zero);
    comment_ = std::move(utf8);
}

std::optional<std::size_t> CSampleImageListBase::FindData(const ITavData& data) const {
    const uint64_t number = data.UniqueNumber();
    std::size_t index = data_.find_if([&](const SharedHandle<ITavData>& d) { return d->UniqueNumber() == number; });
    if (index == data_.size())
        return std::nullopt;
    return index;
}

std::optional<std::size_t> CSampleImageListBase::FindLabel(const ITavLabel& label) const {
    if (auto placement = SearchOrdered(label))
        return placement->found ? std::optional(placement->index) : std::nullopt;
    return Walk(label);
}

std::optional<std::size_t> CSampleImageListBase::Walk(const ITavLabel& label) const {
    std::size_t index = labels_.find_if([&](const LabelEntry& e) {
        return e.label.get() == &label || e.label->Compare(label) == CompareEqual;
    });
    if (index == labels_.size())
        return std::nullopt;
    return index;
}

std::optional<CSampleImageListBase::Placement> CSampleImageListBase::SearchOrdered(const ITavLabel& label) const {
    if (!ordered_)
        return std::nullopt;
    if (!is_regular(label)) {
        // It equals nothing; only the object itself, among the unordered
        // tail, can match. A new one goes to the end.
        for (std::size_t i = regular_count_; i < labels_.size(); ++i)
            if (labels_[i].label.get() == &label)
                return Placement{true, false, i};
        return Placement{false, false, labels_.size()};
    }
    // Keys stand in for IsLess between labels of one label type; all labels
    // of the list fit its type, so the searched label must fit it too.
    const std::optional<uint64_t> key =
        label.VerifyCompatibility(*label_type_) ? label.OrderKey() : std::optional<uint64_t>();
    std::size_t low = 0;
    try {
        low = labels_.partition_point(regular_count_, [&](const LabelEntry& e) {
            if (key && e.key && *e.key != *key)
                return *e.key < *key;
            return e.label->IsLess(label);
        });
    } catch (const std::runtime_error&) {
        // A label of another class: no order, so let the walk decide.
        return std::nullopt;
    }
    if (low < regular_count_) {
        const ITavLabel& candidate = *labels_[low].label;
        if (&candidate == &label || candidate.Compare(label) == CompareEqual)
            return Placement{true, true, low};
    }
    return Placement{false, true, low};
}

std::vector<LabelEntry> CSampleImageListBase::Sorted(SharedHandle<ITavLabel> extra, std::size_t& regularCount) const {
    // Keys are computed anew: values may have changed in place.
    std::vector<LabelEntry> all;
    all.reserve(labels_.size() + 1);
    labels_.for_each([&](const LabelEntry& e) { all.push_back(LabelEntry::of(e.label)); });
    if (extra)
        all.push_back(LabelEntry::of(std::move(extra)));

    std::vector<std::size_t> regular, irregular;
    regular.reserve(all.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        (is_regular(*all[i].label) ? regular : irregular).push_back(i);
    // Sorting indices leaves the labels untouched if IsLess throws. All
    // labels fit the label type, so their keys may stand in for IsLess.
    safe_merge_sort(regular, [&](std::size_t a, std::size_t b) {
        const LabelEntry& x = all[a];
        const LabelEntry& y = all[b];
        if (x.key && y.key && *x.key != *y.key)
            return *x.key < *y.key;
        return x.label->IsLess(*y.label);
    });

    std::vector<LabelEntry> sorted;
    sorted.reserve(all.size());
    for (std::size_t i : regular)
        sorted.push_back(std::move(all[i]));
    for (std::size_t i : irregular)
        sorted.push_back(std::move(all[i]));
    regularCount = regular.size();
    return sorted;
}

bool CSampleImageListBase::AddItem(const ITavData& data, const ITavLabel& label) {
    if (!label.VerifyCompatibility(*label_type_) || !data.VerifyCompatibility(*data_type_))
        return false;
    AddMadeItem(data.Clone(), label);
    Touch();
    return true;
}

CSampleImageListBase::LabelPlace CSampleImageListBase::FindPlace(const ITavLabel& label) const {
    LabelPlace place;
    if (auto placement = SearchOrdered(label)) {
        if (placement->found)
            place.match = placement->index;
        else
            place.insertAt = placement->index;
        place.newIsRegular = placement->regular;
    } else {
        place.match = Walk(label);
    }
    return place;
}

void CSampleImageListBase::AddMadeItem(SharedHandle<ITavData> item, const ITavLabel& label) {
    // Everything that can fail happens before the list changes.
    const auto [match, insertAt, newIsRegular] = FindPlace(label);

    SharedHandle<ITavLabel> newLabel;
    std::vector<LabelEntry> sorted;
    std::size_t sortedRegular = 0;
    if (!match) {
        newLabel = label.Clone();
        if (!insertAt)
            sorted = Sorted(newLabel, sortedRegular);
    }
    ITavLabel& target = match ? *labels_[*match].label : *newLabel;
    const ZTHANDLE targetHandle = match ? labels_[*match].label.handle() : newLabel.handle();

    ITavData& itemObject = *item;
    LinkHandle<ITavLabel> labelLink(targetHandle);
    LinkHandle<ITavData> dataLink(item.handle());
    reserve_one_more(target.DataReferences());

    data_.push_back(std::move(item));
    if (!match) {
        try {
            if (insertAt) {
                labels_.insert(*insertAt, LabelEntry::of(std::move(newLabel)));
                if (newIsRegular)
                    ++regular_count_;
            } else {
                labels_.assign(std::move(sorted));
                ordered_ = true;
                regular_count_ = sortedRegular;
            }
        } catch (...) {
            data_.erase(data_.size() - 1);
            throw;
        }
    }

    itemObject.SetLabelLink(std::move(labelLink));
    target.DataReferences().push_back(std::move(dataLink));
}

CSampleImageListBase::PlacedLabel CSampleImageListBase::PlaceLabel(const ITavLabel& label) {
    const auto [match, insertAt, newIsRegular] = FindPlace(label);
    if (match)
        return {labels_[*match].label.get(), labels_[*match].label.handle(), false};
    SharedHandle<ITavLabel> newLabel = label.Clone();
    const PlacedLabel placed{newLabel.get(), newLabel.handle(), true};
    if (insertAt) {
        labels_.insert(*insertAt, LabelEntry::of(std::move(newLabel)));
        if (newIsRegular)
            ++regular_count_;
    } else {
        std::size_t sortedRegular = 0;
        std::vector<LabelEntry> sorted = Sorted(std::move(newLabel), sortedRegular);
        labels_.assign(std::move(sorted));
        ordered_ = true;
        regular_count_ = sortedRegular;
    }
    return placed;
}

void CSampleImageListBase::AddMadeItems(std::vector<SharedHandle<ITavData>>& items,
                                        const std::vector<const ITavLabel*>& labels) {
    const std::size_t count = items.size();
    // Each label object is placed once, in order of first use; one that
    // does not equal itself is placed for every row, as each would get a
    // label of its own when added alone.
    constexpr uint32_t kEveryRow = UINT32_MAX;
    std::unordered_map<const ITavLabel*, uint32_t> distinct;
    std::vector<uint32_t> labelOf(count);
    std::vector<const ITavLabel*> byIndex;
    std::vector<std::size_t> uses;
    for (std::size_t i = 0; i < count; ++i) {
        auto [at, added] = distinct.try_emplace(labels[i], kEveryRow);
        uint32_t k = at->second;
        if (k == kEveryRow) {
            k = static_cast<uint32_t>(byIndex.size());
            byIndex.push_back(labels[i]);
            uses.push_back(0);
            if (added && is_regular(*labels[i]))
                at->second = k;
        }
        ++uses[k];
        labelOf[i] = k;
    }

    std::vector<PlacedLabel> placed;
    std::vector<ZTHANDLE> itemHandles(count);
    std::vector<ITavData*> itemObjects(count);
    BlockSequence<SharedHandle<ITavData>> tail;
    try {
        placed.reserve(byIndex.size());
        for (std::size_t k = 0; k < byIndex.size(); ++k) {
            placed.push_back(PlaceLabel(*byIndex[k]));
            std::vector<LinkHandle<ITavData>>& references = placed.back().label->DataReferences();
            references.reserve(references.size() + uses[k]);
        }
        for (std::size_t i = 0; i < count; ++i) {
            itemHandles[i] = items[i].handle();
            itemObjects[i] = items[i].get();
            tail.push_back(std::move(items[i]));
        }
        data_.splice_back(std::move(tail));
    } catch (...) {
        // The labels this call added go again; they have no items yet.
        for (const PlacedLabel& p : placed)
            if (p.added)
                if (auto at = LocateOwnLabel(*p.label))
                    RemoveLabelAt(*at);
        throw;
    }
    items.clear();

    // Nothing below allocates: the links are taken a run at a time and
    // adopted by their holders.
    constexpr std::size_t kRun = 256;
    ZTHANDLE labelRun[kRun];
    for (std::size_t first = 0; first < count; first += kRun) {
        const std::size_t n = std::min(kRun, count - first);
        for (std::size_t k = 0; k < n; ++k)
            labelRun[k] = placed[labelOf[first + k]].handle;
        ZtAddLinkRefs(labelRun, n);
        ZtAddLinkRefs(itemHandles.data() + first, n);
        for (std::size_t k = 0; k < n; ++k) {
            itemObjects[first + k]->SetLabelLink(LinkHandle<ITavLabel>::adopt(labelRun[k]));
            placed[labelOf[first + k]].label->DataReferences().push_back(
                LinkHandle<ITavData>::adopt(itemHandles[first + k]));
        }
    }
}

std::optional<std::size_t> CSampleImageListBase::LocateOwnLabel(const ITavLabel& label) const {
    if (ordered_) {
        auto placement = SearchOrdered(label);
        if (placement && placement->found && labels_[placement->index].label.get() == &label)
            return placement->index;
    }
    std::size_t index = labels_.find_if([&](const LabelEntry& e) { return e.label.get() == &label; });
    if (index == labels_.size())
        return std::nullopt;
    return index;
}

void CSampleImageListBase::RemoveLabelAt(std::size_t index) noexcept {
    labels_.erase(index);
    if (index < regular_count_)
        --regular_count_;
}

void CSampleImageListBase::DeleteData(std::size_t index) {
    // The extra reference keeps the item alive until the links are undone.
    SharedHandle<ITavData> item = data_[index];
    SharedHandle<ITavLabel> label = item->Label();

    // Find everything first; the changes below cannot fail.
    std::optional<std::size_t> referenceAt;
    std::optional<std::size_t> labelAt;
    if (label) {
        auto& references = label->DataReferences();
        // Each item is referenced once; recent items sit at the end.
        for (std::size_t k = references.size(); k-- > 0;)
            if (references[k].handle() == item.handle()) {
                referenceAt = k;
                break;
            }
        if (references.size() - (referenceAt ? 1 : 0) == 0)
            labelAt = LocateOwnLabel(*label);
    }

    data_.erase(index);
    if (referenceAt) {
        auto& references = label->DataReferences();
        references.erase(references.begin() + static_cast<std::ptrdiff_t>(*referenceAt));
    }
    if (labelAt)
        RemoveLabelAt(*labelAt);
    Touch();
}

void CSampleImageListBase::DeleteLabel(std::size_t index) {
    SharedHandle<ITavLabel> label = labels_[index].label;
    const ZTHANDLE handle = label.handle();
    data_.remove_if([handle](const SharedHandle<ITavData>& d) { return d->LabelLink().handle() == handle; });
    RemoveLabelAt(index);
    Touch();
}

void CSampleImageListBase::AppendData(SharedHandle<ITavData> data) {
    data_.push_back(std::move(data));
}

void CSampleImageListBase::AppendLabel(SharedHandle<ITavLabel> label) {
    labels_.push_back(LabelEntry::of(std::move(label)));
    ordered_ = false;
}

void CSampleImageListBase::LinkItems(const std::function<uint32_t(std::size_t)>& labelOf, const uint32_t* pairs,
                                     std::size_t pairCount) {
    const std::size_t labelCount = labels_.size();
    std::vector<ITavLabel*> labelObjects(labelCount);
    std::vector<ZTHANDLE> labelHandles(labelCount);
    std::vector<std::size_t> perLabel(labelCount);
    std::size_t i = 0;
    labels_.for_each([&](const LabelEntry& e) { labelHandles[i] = e.label.handle(), labelObjects[i++] = e.label.get(); });
    i = 0;
    data_.for_each([&](const SharedHandle<ITavData>&) {
        if (const uint32_t l = labelOf(i++); l < labelCount)
            ++perLabel[l];
    });
    for (std::size_t l = 0; l < labelCount; ++l)
        labelObjects[l]->DataReferences().reserve(perLabel[l]);

    // Nothing below allocates. The link references are taken a run at a
    // time, one call of the handle table for each side of a run, and adopted
    // by their holders.
    constexpr std::size_t kRun = 256;
    ZTHANDLE labelRun[kRun], dataRun[kRun];
    ITavData* itemRun[kRun];
    uint32_t labelIndexRun[kRun];
    std::size_t n = 0;
    const bool inDataOrder = pairs == nullptr;
    auto flush = [&] {
        ZtAddLinkRefs(labelRun, n);
        if (inDataOrder)
            ZtAddLinkRefs(dataRun, n);
        for (std::size_t k = 0; k < n; ++k) {
            itemRun[k]->SetLabelLink(LinkHandle<ITavLabel>::adopt(labelRun[k]));
            if (inDataOrder)
                labelObjects[labelIndexRun[k]]->DataReferences().push_back(LinkHandle<ITavData>::adopt(dataRun[k]));
        }
        n = 0;
    };
    i = 0;
    data_.for_each([&](const SharedHandle<ITavData>& item) {
        const uint32_t l = labelOf(i++);
        if (l >= labelCount)
            return;
        labelRun[n] = labelHandles[l], dataRun[n] = item.handle(), itemRun[n] = item.get(), labelIndexRun[n] = l;
        if (++n == kRun)
            flush();
    });
    flush();
    // References in the order of the stored pairs: the items by index.
    for (std::size_t p = 0; p < pairCount; p += kRun) {
        const std::size_t run = std::min(kRun, pairCount - p);
        for (std::size_t k = 0; k < run; ++k)
            dataRun[k] = data_[pairs[2 * (p + k) + 1]].handle();
        ZtAddLinkRefs(dataRun, run);
        for (std::size_t k = 0; k < run; ++k)
            labelObjects[pairs[2 * (p + k)]]->DataReferences().push_back(LinkHandle<ITavData>::adopt(dataRun[k]));
    }
}

void CSampleImageListBase::RecheckOrder() {
    labels_.for_each([](LabelEntry& e) { e.refresh_key(); });
    std::size_t i = 0;
    const std::size_t n = labels_.size();
    try {
        while (i < n && is_regular(*labels_[i].label) && (i == 0 || labels_[i - 1].label->IsLess(*labels_[i].label)))
            ++i;
    } catch (const std::runtime_error&) {
        ordered_ = false;
        return;
    }
    const std::size_t regular = i;
    while (i < n && !is_regular(*labels_[i].label))
        ++i;
    ordered_ = i == n;
    regular_count_ = ordered_ ? regular : 0;
}

CSampleImageListBase& AsList(ITav& list) {
    auto* concrete = dynamic_cast<CSampleImageListBase*>(&list);
    if (concrete == nullptr)
        throw ztkBase::invalid_argument("");
    return *concrete;
}

} // namespace Korvu2::TAV::Objects
