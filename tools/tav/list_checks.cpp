#include "list_checks.hpp"

#include <algorithm>
#include <cstring>

#include "list_text.hpp"
#include "progress.hpp"

namespace tavtool {

namespace {

// The order the list keeps its labels in: string labels byte-wise, vector
// labels element by element (an element pair with a NaN never orders).
bool label_less(const LabelValue& a, const LabelValue& b) {
    if (a.is_text != b.is_text)
        return false;
    if (a.is_text) {
        const size_t n = std::min(a.text.size(), b.text.size());
        int c = n ? std::memcmp(a.text.data(), b.text.data(), n) : 0;
        return c < 0 || (c == 0 && a.text.size() < b.text.size());
    }
    const size_t n = std::min(a.values.size(), b.values.size());
    for (size_t i = 0; i < n; ++i)
        if (!(a.values[i] == b.values[i]))
            return a.values[i] < b.values[i];
    return false;
}

class Checker {
public:
    Checker(TAV list, Progress& progress) : list_(list), progress_(progress) {}

    std::vector<std::string> run() {
        const int items = TavGetNumDataEntries(list_);
        const int labels = TavGetNumLabelEntries(list_);
        if (items < 0 || labels < 0)
            return {"the entries cannot be counted"};
        labels_.resize(static_cast<size_t>(labels));
        seen_.assign(static_cast<size_t>(items), 0);
        for (int i = 0; i < items; ++i) {
            check_item(i);
            progress_.step(static_cast<size_t>(i) + 1);
        }
        for (int j = 0; j < labels; ++j) {
            check_label(j);
            progress_.step(static_cast<size_t>(items + j) + 1);
        }
        for (int i = 0; i < items; ++i)
            if (seen_[static_cast<size_t>(i)] == 0)
                add("item " + std::to_string(i) + " is in no label's data references");
        check_order();
        check_mask_and_statistics(labels);
        return std::move(problems_);
    }

private:
    void add(std::string problem) { problems_.push_back(std::move(problem)); }

    void check_item(int i) {
        const std::string name = "item " + std::to_string(i);
        TAVDATA data = TavGetData(list_, i);
        if (!data)
            return add(name + " cannot be read");
        if (TavVerifyDataCompatibility(data, TavGetDataType(list_)) != 1)
            add(name + " does not fit the list's data type");
        if (TavGetNumLabelReferences(data) != 1)
            return add(name + " has no label");
        TAVLABEL label = TavGetLabelReference(data, 0);
        const int index = TavGetLabelIndex(list_, label);
        if (index < 0 || TavGetLabel(list_, index) != label)
            add(name + " refers to a label that is not one of the list's labels");
    }

    void check_label(int j) {
        const std::string name = "label " + std::to_string(j);
        TAVLABEL label = TavGetLabel(list_, j);
        if (!label)
            return add(name + " cannot be read");
        labels_[static_cast<size_t>(j)].handle = label;
        labels_[static_cast<size_t>(j)].value = label_value(label);
        if (TavVerifyLabelCompatibility(label, TavGetLabelType(list_)) != 1)
            add(name + " does not fit the list's label type");
        const int refs = TavGetNumDataReferences(label);
        if (refs < 0)
            return add(name + ": its data references cannot be counted");
        if (refs == 0)
            add(name + " has no data");
        for (int k = 0; k < refs; ++k) {
            const std::string ref = name + ", data reference " + std::to_string(k);
            TAVDATA data = TavGetDataReference(label, k);
            if (!data) {
                add(ref + " leads to no data");
                continue;
            }
            const int index = TavGetDataIndex(list_, data);
            if (index < 0) {
                add(ref + " is not an item of the list");
                continue;
            }
            if (TavGetLabelReference(data, 0) != label)
                add(ref + ": item " + std::to_string(index) + " does not refer back to the label");
            if (seen_[static_cast<size_t>(index)]++)
                add(ref + ": item " + std::to_string(index) + " is referred to more than once");
        }
    }

    void check_order() {
        for (size_t j = 1; j < labels_.size(); ++j) {
            const auto& a = labels_[j - 1];
            const auto& b = labels_[j];
            if (!a.handle || !b.handle)
                continue;
            const std::string pair = "labels " + std::to_string(j - 1) + " and " + std::to_string(j);
            if (TavCompareLabels(a.handle, b.handle) == 0)
                add(pair + " are equal ('" + label_display(b.value) + "')");
            else if (label_less(b.value, a.value))
                add(pair + " are out of order");
        }
    }

    void check_mask_and_statistics(int labels) {
        if (TAVDATA mask = TavGetMaskData(list_))
            if (TavVerifyDataCompatibility(mask, TavGetDataType(list_)) != 1)
                add("the mask data does not fit the list's data type");
        int64_t count = 0, low = 0, high = 0;
        double mean = 0;
        if (TavGetStatistics(list_, &count, &low, &high, &mean) != 0 || count != labels)
            add("the statistics do not match the label count");
    }

    struct Label {
        TAVLABEL handle = 0;
        LabelValue value;
    };

    TAV list_;
    Progress& progress_;
    std::vector<Label> labels_;
    std::vector<int> seen_;
    std::vector<std::string> problems_;
};

} // namespace

std::vector<std::string> check_list(TAV list, Progress& progress) { return Checker(list, progress).run(); }

} // namespace tavtool
