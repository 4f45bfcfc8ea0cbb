#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tav/list/block_sequence.hpp"
#include "tav/list/safe_merge_sort.hpp"

using Korvu2::TAV::Objects::BlockSequence;
using Korvu2::TAV::Objects::safe_merge_sort;

namespace {

void expect_same(const BlockSequence<int>& sequence, const std::vector<int>& model) {
    ASSERT_EQ(sequence.size(), model.size());
    for (std::size_t i = 0; i < model.size(); ++i)
        ASSERT_EQ(sequence[i], model[i]) << "at " << i;
    std::vector<int> walked;
    sequence.for_each([&](int v) { walked.push_back(v); });
    ASSERT_EQ(walked, model);
}

} // namespace

TEST(BlockSequence, edits_anywhere_match_a_plain_vector) {
    std::mt19937 random(7);
    BlockSequence<int> sequence;
    std::vector<int> model;
    std::size_t largest = 0;
    for (int step = 0; step < 20000; ++step) {
        int op = static_cast<int>(random() % 1000);
        if (op < 700 || model.empty()) {
            std::size_t at = random() % (model.size() + 1);
            sequence.insert(at, step);
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), step);
        } else if (op < 999) {
            std::size_t at = random() % model.size();
            sequence.erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            int divisor = 2 + static_cast<int>(random() % 5);
            auto odd = [divisor](int v) { return v % divisor == 0; };
            std::size_t removed = sequence.remove_if(odd);
            ASSERT_EQ(removed, static_cast<std::size_t>(std::erase_if(model, odd)));
        }
        largest = std::max(largest, model.size());
        if (step % 997 == 0)
            expect_same(sequence, model);
    }
    expect_same(sequence, model);
    EXPECT_GT(largest, 8 * BlockSequence<int>::kBlockSize);
    std::size_t found = sequence.find_if([&](int v) { return v == model[model.size() / 2]; });
    EXPECT_EQ(found, model.size() / 2);
    sequence.assign(sequence.take_all());
    expect_same(sequence, model);
}

TEST(SafeMergeSort, any_comparator_gives_a_permutation) {
    // Random answers are as inconsistent as an order can get; the result must
    // still hold every element once (and the sanitizer sees no stray access).
    std::mt19937 random(11);
    for (std::size_t n : {0u, 1u, 2u, 17u, 1000u}) {
        std::vector<int> items(n);
        for (std::size_t i = 0; i < n; ++i)
            items[i] = static_cast<int>(i);
        safe_merge_sort(items, [&](int, int) { return random() % 2 == 0; });
        std::sort(items.begin(), items.end());
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(items[i], static_cast<int>(i));
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

TEST(BlockSequence, partition_point_matches_a_plain_vector_across_blocks) {
    std::mt19937 random(11);
    BlockSequence<int> sequence;
    std::vector<int> model; // kept ascending
    for (int step = 0; step < 6000; ++step) {
        if (random() % 4 != 0 || model.empty()) {
            const int value = static_cast<int>(random() % 3000);
            const auto at = std::upper_bound(model.begin(), model.end(), value);
            sequence.insert(static_cast<std::size_t>(at - model.begin()), value);
            model.insert(at, value);
        } else {
            const std::size_t at = random() % model.size();
            sequence.erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        }
        if (step % 250 != 0)
            continue;
        for (int probe = 0; probe < 20; ++probe) {
            const int threshold = static_cast<int>(random() % 3100) - 50;
            // Any end, including block starts, 0 and past the size.
            const std::size_t end = probe == 0 ? model.size() + 5 : random() % (model.size() + 1);
            const std::size_t clipped = std::min(end, model.size());
            auto below = [threshold](int v) { return v < threshold; };
            const auto expected = static_cast<std::size_t>(
                std::partition_point(model.begin(), model.begin() + static_cast<std::ptrdiff_t>(clipped), below) -
                model.begin());
            ASSERT_EQ(sequence.partition_point(end, below), expected) << "step " << step << ", end " << end;
        }
    }
    EXPECT_GT(model.size(), 4 * BlockSequence<int>::kBlockSize);
}
