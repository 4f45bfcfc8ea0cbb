// The list: random edits against a model, labels holding NaN, transforms
// that cannot make a list, and the block sequence and merge sort under it.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/reports.hpp"
#include "tav/frame/call_frame.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/list/block_sequence.hpp"
#include "tav/list/list_transform.hpp"
#include "tav/list/safe_merge_sort.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/float_values.hpp"
#include "tav/samples/label_float32_vector.hpp"
#include "tav/samples/label_string.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

SharedHandle<CDataFloat32Vector> item_of(float value) {
    return make_object<CDataFloat32Vector>(std::vector<float>{value});
}

// The six rules every edit keeps.
void expect_invariants(const CSampleImageListBase& list) {
    const std::size_t labelCount = list.LabelCount();
    std::map<ZTHANDLE, std::vector<ZTHANDLE>> itemsOf;
    std::set<uint64_t> numbers;
    for (std::size_t i = 0; i < labelCount; ++i) {
        ASSERT_TRUE(list.LabelAt(i)->VerifyCompatibility(list.LabelType()));
        itemsOf[list.LabelAt(i).handle()];
    }
    for (std::size_t d = 0; d < list.DataCount(); ++d) {
        const auto& item = list.DataAt(d);
        ASSERT_TRUE(item->VerifyCompatibility(list.DataType()));
        ASSERT_TRUE(numbers.insert(item->UniqueNumber()).second) << "unique numbers repeat";
        auto owner = itemsOf.find(item->LabelLink().handle());
        ASSERT_NE(owner, itemsOf.end()) << "data item " << d << " links to no label of the list";
        owner->second.push_back(item.handle());
    }
    bool tail = false;
    for (std::size_t i = 0; i < labelCount; ++i) {
        const ITavLabel& label = *list.LabelAt(i);
        std::vector<ZTHANDLE> references;
        for (const auto& r : label.DataReferences())
            references.push_back(r.handle());
        ASSERT_FALSE(references.empty()) << "label " << i << " has no data";
        ASSERT_EQ(references, itemsOf[list.LabelAt(i).handle()]) << "references of label " << i;
        for (std::size_t j = i + 1; j < labelCount; ++j)
            ASSERT_NE(label.Compare(*list.LabelAt(j)), CompareEqual) << i << " equals " << j;
        const bool regular = label.Compare(label) == CompareEqual;
        if (!regular)
            tail = true;
        ASSERT_FALSE(tail && regular) << "ordered label after one holding NaN";
        if (regular && i > 0) {
            ASSERT_TRUE(list.LabelAt(i - 1)->IsLess(label)) << "labels " << i - 1 << ", " << i << " out of order";
        }
    }
}

// What a list of string labels must hold: its labels found by a linear walk
// and kept sorted by a full sort after each new one. Labels are ids into texts.
struct StringModel {
    std::vector<std::string> texts;
    std::vector<int> labels;
    std::vector<std::pair<float, int>> data;

    std::vector<int>::iterator find(const std::string& text) {
        return std::find_if(labels.begin(), labels.end(), [&](int id) { return texts[id] == text; });
    }
    auto less() const {
        return [this](int a, int b) { return texts[a] < texts[b]; };
    }
    void add(float value, const std::string& text) {
        auto found = find(text);
        const int id = found == labels.end() ? static_cast<int>(texts.size()) : *found;
        if (found == labels.end()) {
            texts.push_back(text);
            labels.push_back(id);
            std::sort(labels.begin(), labels.end(), less());
        }
        data.emplace_back(value, id);
    }
    void delete_data(std::size_t index) {
        int id = data[index].second;
        data.erase(data.begin() + static_cast<std::ptrdiff_t>(index));
        if (std::none_of(data.begin(), data.end(), [&](auto& d) { return d.second == id; }))
            std::erase(labels, id);
    }
    void delete_label(std::size_t index) {
        int id = labels[index];
        std::erase_if(data, [&](auto& d) { return d.second == id; });
        labels.erase(labels.begin() + static_cast<std::ptrdiff_t>(index));
    }
    bool sorted() const { return std::is_sorted(labels.begin(), labels.end(), less()); }
};

std::string text_of(const ITavLabel& label) {
    return dynamic_cast<const CLabelString&>(label).Text();
}

void expect_matches(const CSampleImageListBase& list, const StringModel& model) {
    ASSERT_EQ(list.LabelCount(), model.labels.size());
    for (std::size_t i = 0; i < model.labels.size(); ++i)
        ASSERT_EQ(text_of(*list.LabelAt(i)), model.texts[model.labels[i]]) << "label " << i;
    ASSERT_EQ(list.DataCount(), model.data.size());
    for (std::size_t d = 0; d < model.data.size(); ++d) {
        const auto& item = dynamic_cast<const CDataFloat32Vector&>(*list.DataAt(d));
        ASSERT_EQ(item.Values().front(), model.data[d].first) << "data " << d;
        ASSERT_EQ(text_of(*list.DataAt(d)->Label()), model.texts[model.data[d].second]) << "label of data " << d;
    }
}

void expect_same(const BlockSequence<int>& sequence, const std::vector<int>& model) {
    ASSERT_EQ(sequence.size(), model.size());
    for (std::size_t i = 0; i < model.size(); ++i)
        ASSERT_EQ(sequence[i], model[i]) << "at " << i;
    std::vector<int> walked;
    sequence.for_each([&](int v) { walked.push_back(v); });
    ASSERT_EQ(walked, model);
}

} // namespace

TEST(SampleImageList, random_edits_keep_every_rule_and_match_the_walk_and_sort) {
    std::mt19937 random(20240611);
    auto handle = make_list(make_object<CLabelTypeString>(), make_object<CDataTypeFloat32Vector>(1));
    auto& list = AsList(*handle);
    StringModel model;
    std::vector<std::string> pool;
    for (int i = 0; i < 40; ++i) {
        std::string text = std::string(1 + i % 3, static_cast<char>('a' + (i * 7) % 26)) + std::to_string(i % 11);
        // Texts that share their first eight bytes: order keys tie.
        pool.push_back(i % 4 == 0 ? "\xC3\xA9-shared-" + text : text);
    }
    int renamed = 0;

    for (int step = 0; step < 3000; ++step) {
        const int op = static_cast<int>(random() % 100);
        if (op < 48 || model.data.empty()) {
            const std::string& text = pool[random() % pool.size()];
            const float value = static_cast<float>(step);
            ASSERT_TRUE(list.AddItem(*item_of(value), *make_object<CLabelString>(text)));
            model.add(value, text);
        } else if (op < 82) {
            std::size_t index = random() % model.data.size();
            list.DeleteData(index);
            model.delete_data(index);
        } else if (op < 87) {
            std::size_t index = random() % model.labels.size();
            list.DeleteLabel(index);
            model.delete_label(index);
        } else if (op < 92) {
            // A label changed in place to a value no other label has: the
            // order may break until the next new label sorts them all.
            std::size_t index = random() % model.labels.size();
            std::string text = "~" + std::to_string(renamed++ % 7) + std::to_string(step);
            if (model.find(text) != model.labels.end())
                continue;
            dynamic_cast<CLabelString&>(*list.LabelAt(index)).SetText(text);
            list.LabelValuesChanged();
            model.texts[model.labels[index]] = text;
            pool.push_back(text);
        } else {
            // Finding a label by value gives the model's first equal one.
            const std::string& text = pool[random() % pool.size()];
            auto probe = make_object<CLabelString>(text);
            auto found = list.FindLabel(*probe);
            auto expected = model.find(text);
            if (expected == model.labels.end()) {
                ASSERT_FALSE(found.has_value());
            } else {
                ASSERT_EQ(found, static_cast<std::size_t>(expected - model.labels.begin()));
            }
        }
        ASSERT_NO_FATAL_FAILURE(expect_matches(list, model)) << "step " << step;
        if (model.sorted()) {
            ASSERT_NO_FATAL_FAILURE(expect_invariants(list)) << "step " << step;
        }
    }
}

TEST(SampleImageList, labels_holding_nan_stay_after_the_others_and_equal_nothing) {
    std::mt19937 random(99);
    auto handle = make_list(make_object<CLabelTypeFloat32Vector>(2), make_object<CDataTypeFloat32Vector>(1));
    auto& list = AsList(*handle);
    const float denorm = std::numeric_limits<float>::denorm_min();
    const float values[] = {0.0f, -0.0f, 1.0f, -2.5f, kNaN, denorm, -denorm, std::numeric_limits<float>::infinity()};
    std::size_t nanItems = 0;
    for (int step = 0; step < 3000; ++step) {
        if (random() % 2 != 0 || list.DataCount() == 0) {
            std::vector<float> v = {values[random() % std::size(values)], values[random() % std::size(values)]};
            const std::size_t labelsBefore = list.LabelCount();
            ASSERT_TRUE(list.AddItem(*item_of(1.0f), *make_object<CLabelFloat32Vector>(v)));
            if (std::isnan(v[0]) || std::isnan(v[1])) {
                ++nanItems;
                ASSERT_EQ(list.LabelCount(), labelsBefore + 1) << "a label holding NaN was shared";
            }
        } else if (random() % 5 == 0) {
            list.DeleteLabel(random() % list.LabelCount());
        } else {
            list.DeleteData(random() % list.DataCount());
        }
        ASSERT_NO_FATAL_FAILURE(expect_invariants(list)) << "step " << step;
    }
    EXPECT_GT(nanItems, 100u);
    // The list's first label holding NaN is found by identity, and adding an
    // item with it shares it.
    std::size_t i = 0;
    while (i < list.LabelCount() && list.LabelAt(i)->Compare(*list.LabelAt(i)) == CompareEqual)
        ++i;
    ASSERT_LT(i, list.LabelCount());
    const ITavLabel& label = *list.LabelAt(i);
    EXPECT_EQ(list.FindLabel(label), i);
    const std::size_t labelsBefore = list.LabelCount(), referencesBefore = label.DataReferences().size();
    ASSERT_TRUE(list.AddItem(*item_of(2.0f), label));
    EXPECT_EQ(list.LabelCount(), labelsBefore);
    EXPECT_EQ(list.LabelAt(i)->DataReferences().size(), referencesBefore + 1);
    expect_invariants(list);
}

// When no new list can be made, the caller gets none and the transform fails
// at once, instead of trying (and failing) to add every item.
TEST(TransformLabels, no_new_list_leaves_the_variable_null_and_fails) {
    auto source = make_list(make_object<CLabelTypeString>(), make_object<CDataTypeFloat32Vector>(1));
    for (const char* text : {"a", "b"})
        AsList(*source).AddItem(*item_of(1), *make_object<CLabelString>(text));
    ZTHANDLE mappedHandle = 0;
    Mapping<ITavLabel> map = [&](const SharedHandle<ITavLabel>&) -> std::optional<SharedHandle<ITavLabel>> {
        SharedHandle<ITavLabel> made = make_object<CLabelString>("x");
        mappedHandle = made.handle();
        return made;
    };
    int makes = 0;
    ListMaker none = [&](const SharedHandle<ITavLabelType>&, const SharedHandle<ITavDataType>&) {
        ++makes;
        return SharedHandle<ITav>();
    };
    ZTHANDLE out = 77;
    tav_test::ReportLog log;
    const int32_t status = frame::status(
        "TavTransformLabelList", [&](frame::Call&) { TransformLabels(AsList(*source), map, out, none); });
    EXPECT_EQ(status, ErrFailure);
    EXPECT_TRUE(log.one(ErrFailure, "TavTransformLabelList"));
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(makes, 1);
    EXPECT_EQ(ZtRefCount(mappedHandle), -1) << "the mapped label was not released";

    ZTHANDLE dataOut = 77;
    Mapping<ITavData> same = [](const SharedHandle<ITavData>& d) -> std::optional<SharedHandle<ITavData>> {
        return d->Clone();
    };
    EXPECT_EQ(frame::status("TavTransformDataList",
                            [&](frame::Call&) { TransformData(AsList(*source), same, dataOut, none); }),
              ErrFailure);
    EXPECT_EQ(dataOut, 0u);
}

// Inserts anywhere (where the vector stays ascending, and often at the end),
// erases, remove_if and searches, against a plain vector.
TEST(BlockSequence, edits_and_searches_match_a_plain_vector) {
    std::mt19937 random(7);
    BlockSequence<int> sequence;
    std::vector<int> model; // kept ascending
    for (int step = 0; step < 20000; ++step) {
        const int op = static_cast<int>(random() % 1000);
        if (op < 700 || model.empty()) {
            const int value = op < 50 ? 3000 + step : static_cast<int>(random() % 3000);
            const auto at = std::upper_bound(model.begin(), model.end(), value);
            sequence.insert(static_cast<std::size_t>(at - model.begin()), value);
            model.insert(at, value);
        } else if (op < 999) {
            const std::size_t at = random() % model.size();
            sequence.erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            const int divisor = 2 + static_cast<int>(random() % 5);
            auto odd = [divisor](int v) { return v % divisor == 0; };
            ASSERT_EQ(sequence.remove_if(odd), static_cast<std::size_t>(std::erase_if(model, odd)));
        }
        if (step % 997 == 0) {
            ASSERT_NO_FATAL_FAILURE(expect_same(sequence, model)) << "step " << step;
        }
        for (int probe = 0; step % 250 == 0 && probe < 20; ++probe) {
            const int threshold = static_cast<int>(random() % (3100 + step)) - 50;
            // Any end, including block starts, 0 and past the size.
            const std::size_t end = probe == 0 ? model.size() + 5 : random() % (model.size() + 1);
            auto below = [threshold](int v) { return v < threshold; };
            const auto last = model.begin() + static_cast<std::ptrdiff_t>(std::min(end, model.size()));
            ASSERT_EQ(sequence.partition_point(end, below),
                      static_cast<std::size_t>(std::partition_point(model.begin(), last, below) - model.begin()))
                << "step " << step << ", end " << end;
        }
    }
    expect_same(sequence, model);
    EXPECT_GT(model.size(), 8 * BlockSequence<int>::kBlockSize);
    const int middle = model[model.size() / 2];
    EXPECT_EQ(sequence.find_if([&](int v) { return v == middle; }),
              static_cast<std::size_t>(std::find(model.begin(), model.end(), middle) - model.begin()));
    EXPECT_EQ(sequence.find_if([](int v) { return v < 0; }), model.size());
    sequence.assign(sequence.take_all());
    expect_same(sequence, model);
}

TEST(SafeMergeSort, any_comparator_gives_a_permutation) {
    // Random answers are as inconsistent as an order can get; the result must
    // still hold every element once (and the sanitizer sees no stray access).
    std::mt19937 random(11);
    for (std::size_t n : {0u, 1u, 2u, 17u, 1000u}) {
        std::vector<int> items(n);
        std::iota(items.begin(), items.end(), 0);
        safe_merge_sort(items, [&](int, int) { return random() % 2 == 0; });
        std::sort(items.begin(), items.end());
        std::vector<int> expected(n);
        std::iota(expected.begin(), expected.end(), 0);
        ASSERT_EQ(items, expected);
    }
    // With a true order, short and long runs come out ascending and stable.
    for (std::size_t n : {2u, 3u, 17u}) {
        std::vector<std::pair<int, std::size_t>> items;
        for (std::size_t i = 0; i < n; ++i)
            items.push_back({static_cast<int>((n - i) / 2), i});
        auto expected = items;
        std::stable_sort(expected.begin(), expected.end(), [](auto a, auto b) { return a.first < b.first; });
        safe_merge_sort(items, [](auto a, auto b) { return a.first < b.first; });
        EXPECT_EQ(items, expected) << n;
    }
}
