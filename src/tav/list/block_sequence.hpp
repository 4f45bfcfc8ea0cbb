#pragma once
// An indexed sequence that stays cheap to edit anywhere: the elements live in
// blocks of bounded size, so inserting or erasing at an index moves at most a
// block's worth of elements plus the block table, instead of everything after
// the index. Access by index is a binary search over the block starts.
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace Korvu2::TAV::Objects {

template <class T>
class BlockSequence {
public:
    // Blocks split in two above twice this size.
    static constexpr std::size_t kBlockSize = 256;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    T& operator[](std::size_t index) {
        auto [block, offset] = locate(index);
        return blocks_[block][offset];
    }
    const T& operator[](std::size_t index) const {
        auto [block, offset] = locate(index);
        return blocks_[block][offset];
    }
    T& back() { return blocks_.back().back(); }

    // Inserts before index (index == size() appends). On an exception the
    // sequence is unchanged (T's move must not throw).
    void insert(std::size_t index, T value) {
        if (blocks_.empty() || (index == size_ && blocks_.back().size() >= 2 * kBlockSize)) {
            // A block begun by appending is filled by appending: room for
            // all it will hold, so that it is never moved while it fills.
            std::vector<T> block;
            block.reserve(2 * kBlockSize);
            block.push_back(std::move(value));
            starts_.reserve(starts_.size() + 1);
            blocks_.push_back(std::move(block));
            starts_.push_back(size_);
            ++size_;
            return;
        }
        auto [block, offset] = index == size_ ? std::pair(blocks_.size() - 1, blocks_.back().size()) : locate(index);
        if (blocks_[block].size() >= 2 * kBlockSize)
            split(block);
        if (offset > blocks_[block].size()) {
            offset -= blocks_[block].size();
            ++block;
        }
        blocks_[block].insert(blocks_[block].begin() + static_cast<std::ptrdiff_t>(offset), std::move(value));
        for (std::size_t b = block + 1; b < starts_.size(); ++b)
            ++starts_[b];
        ++size_;
    }
    void push_back(T value) { insert(size_, std::move(value)); }

    // Removes the element at index; later elements move down by one.
    void erase(std::size_t index) {
        auto [block, offset] = locate(index);
        std::vector<T>& target = blocks_[block];
        target.erase(target.begin() + static_cast<std::ptrdiff_t>(offset));
        if (target.empty()) {
            blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(block));
            starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(block));
        } else {
            ++block;
        }
        for (std::size_t b = block; b < starts_.size(); ++b)
            --starts_[b];
        --size_;
    }

    // Removes every element for which remove(element) is true, keeping the
    // order of the others, in one pass; returns how many went.
    template <class Predicate>
    std::size_t remove_if(Predicate remove) {
        std::size_t removed = 0;
        for (auto& block : blocks_) {
            auto end = std::remove_if(block.begin(), block.end(), remove);
            removed += static_cast<std::size_t>(block.end() - end);
            block.erase(end, block.end());
        }
        if (removed != 0) {
            std::erase_if(blocks_, [](const std::vector<T>& block) { return block.empty(); });
            rebuild_starts();
        }
        return removed;
    }

    // The index of the first element for which match(element) is true, or
    // size() when there is none.
    template <class Predicate>
    std::size_t find_if(Predicate match) const {
        std::size_t index = 0;
        for (const auto& block : blocks_)
            for (const T& element : block) {
                if (match(element))
                    return index;
                ++index;
            }
        return size_;
    }

    // Calls f(element) for each element in order.
    template <class F>
    void for_each(F f) const {
        for (const auto& block : blocks_)
            for (const T& element : block)
                f(element);
    }
    template <class F>
    void for_each(F f) {
        for (auto& block : blocks_)
            for (T& element : block)
                f(element);
    }

    // The first index in [0, end) whose element fails below, end if none;
    // below must hold for a prefix of [0, end) and fail for the rest. A
    // binary search over the blocks' first elements, then within one block,
    // so that no probe pays for a lookup by index.
    template <class Predicate>
    std::size_t partition_point(std::size_t end, Predicate below) const {
        end = std::min(end, size_);
        // The blocks that start before end.
        const std::size_t blockCount =
            static_cast<std::size_t>(std::lower_bound(starts_.begin(), starts_.end(), end) - starts_.begin());
        std::size_t low = 0, high = blockCount;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (below(blocks_[middle].front()))
                low = middle + 1;
            else
                high = middle;
        }
        if (low == 0)
            return 0;
        // The answer lies in the last block whose first element is below.
        const std::vector<T>& block = blocks_[low - 1];
        const std::size_t start = starts_[low - 1];
        std::size_t first = 1, last = std::min(block.size(), end - start);
        while (first < last) {
            const std::size_t middle = first + (last - first) / 2;
            if (below(block[middle]))
                first = middle + 1;
            else
                last = middle;
        }
        return start + first;
    }

    // The elements in order, moved out; the sequence is left empty.
    std::vector<T> take_all() {
        std::vector<T> all;
        all.reserve(size_);
        for (auto& block : blocks_)
            for (T& element : block)
                all.push_back(std::move(element));
        clear();
        return all;
    }
    // Replaces the contents with elements, in their order.
    void assign(std::vector<T> elements) {
        std::vector<std::vector<T>> blocks;
        std::vector<std::size_t> starts;
        blocks.reserve(elements.size() / kBlockSize + 1);
        starts.reserve(elements.size() / kBlockSize + 1);
        for (std::size_t first = 0; first < elements.size(); first += kBlockSize) {
            std::size_t last = std::min(elements.size(), first + kBlockSize);
            std::vector<T> block;
            block.reserve(kBlockSize);
            for (std::size_t i = first; i < last; ++i)
                block.push_back(std::move(elements[i]));
            blocks.push_back(std::move(block));
            starts.push_back(first);
        }
        blocks_.swap(blocks);
        starts_.swap(starts);
        size_ = elements.size();
    }

    // Moves every element of other to the end, in order, block by block;
    // other is left empty.
    void splice_back(BlockSequence&& other) {
        blocks_.reserve(blocks_.size() + other.blocks_.size());
        starts_.reserve(starts_.size() + other.starts_.size());
        // Nothing below can throw: room is reserved and vectors move.
        for (std::size_t b = 0; b < other.blocks_.size(); ++b) {
            starts_.push_back(size_ + other.starts_[b]);
            blocks_.push_back(std::move(other.blocks_[b]));
        }
        size_ += other.size_;
        other.clear();
    }

    void clear() noexcept {
        blocks_.clear();
        starts_.clear();
        size_ = 0;
    }

private:
    std::pair<std::size_t, std::size_t> locate(std::size_t index) const {
        auto it = std::upper_bound(starts_.begin(), starts_.end(), index);
        std::size_t block = static_cast<std::size_t>(it - starts_.begin()) - 1;
        return {block, index - starts_[block]};
    }

    void split(std::size_t block) {
        std::size_t half = blocks_[block].size() / 2;
        std::vector<T> upper;
        upper.reserve(2 * kBlockSize);
        starts_.reserve(starts_.size() + 1);
        blocks_.reserve(blocks_.size() + 1);
        // Nothing below can throw: the moves are noexcept and room is reserved.
        std::vector<T>& source = blocks_[block];
        for (std::size_t i = half; i < source.size(); ++i)
            upper.push_back(std::move(source[i]));
        source.erase(source.begin() + static_cast<std::ptrdiff_t>(half), source.end());
        starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(block) + 1, starts_[block] + half);
        blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(upper));
    }

    void rebuild_starts() {
        starts_.resize(blocks_.size());
        std::size_t start = 0;
        for (std::size_t b = 0; b < blocks_.size(); ++b) {
            starts_[b] = start;
            start += blocks_[b].size();
        }
        size_ = start;
    }

    std::vector<std::vector<T>> blocks_;
    std::vector<std::size_t> starts_; // index of each block's first element
    std::size_t size_ = 0;
};

} // namespace Korvu2::TAV::Objects
