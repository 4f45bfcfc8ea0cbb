#pragma once
// A stable bottom-up merge sort that stays within its buffers whatever the
// comparator answers: every read is bounded by explicit run ends, never by a
// sentinel the order is trusted to provide. With a strict weak order it sorts
// ascending; with an inconsistent one (labels holding NaN) it still ends with
// a permutation of the input.
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace Korvu2::TAV::Objects {

template <class T, class Less>
void safe_merge_sort(std::vector<T>& items, Less less) {
    const std::size_t n = items.size();
    if (n < 2)
        return;
    std::vector<T> buffer(n);
    std::vector<T>* from = &items;
    std::vector<T>* to = &buffer;
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t left = 0; left < n; left += 2 * width) {
            const std::size_t middle = std::min(left + width, n);
            const std::size_t right = std::min(left + 2 * width, n);
            std::size_t i = left, j = middle, k = left;
            // Take from the right run only when it is strictly less: stable.
            while (i < middle && j < right)
                (*to)[k++] = less((*from)[j], (*from)[i]) ? std::move((*from)[j++]) : std::move((*from)[i++]);
            while (i < middle)
                (*to)[k++] = std::move((*from)[i++]);
            while (j < right)
                (*to)[k++] = std::move((*from)[j++]);
        }
        std::swap(from, to);
    }
    if (from != &items)
        items.swap(*from);
}

} // namespace Korvu2::TAV::Objects
