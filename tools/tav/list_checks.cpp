#include "list_checks.hpp"

#include <algorithm>
#include <cstring>

#include "list_reader.hpp"
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

} // namespace

std::vector<std::string> check_list(const ListReader& reader, Progress& progress) {
    std::vector<std::string> problems;
    const auto add = [&](std::string problem) { problems.push_back(std::move(problem)); };
    // Every item read as the load reads it; a damaged one is named.
    reader.for_each_batch(
        [&](int64_t first, int64_t count, const unsigned char*) { progress.step(size_t(first + count)); },
        [&](int64_t i) {
            const char* function = nullptr;
            const char* message = nullptr;
            ZtGetLastError(&function, &message);
            add("item " + std::to_string(i) + " cannot be read" +
                (message && *message ? std::string(": ") + message : std::string()));
        });
    std::vector<int> counts(static_cast<size_t>(reader.label_count()), 0);
    for (size_t i = 0; i < reader.item_labels().size(); ++i) {
        const int32_t j = reader.item_labels()[i];
        if (j < 0 || j >= reader.label_count())
            add("item " + std::to_string(i) + " has no label");
        else
            ++counts[static_cast<size_t>(j)];
    }
    TAVLABELTYPE label_type = TavReaderGetLabelType(reader.get());
    TAVLABEL previous = 0;
    LabelValue previous_value;
    for (int j = 0; j < reader.label_count(); ++j) {
        const std::string name = "label " + std::to_string(j);
        TAVLABEL label = TavReaderGetLabel(reader.get(), j);
        if (!label) {
            add(name + " cannot be read");
            previous = 0;
            continue;
        }
        LabelValue value = label_value(label);
        if (TavVerifyLabelCompatibility(label, label_type) != 1)
            add(name + " does not fit the list's label type");
        if (counts[static_cast<size_t>(j)] == 0)
            add(name + " has no data");
        if (previous) {
            const std::string pair = "labels " + std::to_string(j - 1) + " and " + std::to_string(j);
            if (TavCompareLabels(previous, label) == 0)
                add(pair + " are equal ('" + label_display(value) + "')");
            else if (label_less(value, previous_value))
                add(pair + " are out of order");
        }
        previous = label;
        previous_value = std::move(value);
    }
    return problems;
}

} // namespace tavtool
