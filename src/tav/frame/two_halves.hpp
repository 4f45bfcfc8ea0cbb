#pragma once
// Work over many items split between the calling thread and one helper
// thread. On two cores a large copy out of the page cache, or into memory
// touched for the first time, takes about half the time.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <thread>

#include "ztbase/packed_blocks.hpp"

namespace Korvu2::TAV {

// Below this many bytes a thread costs more than it saves.
constexpr uint64_t kBytesForTwoThreads = uint64_t{16} << 20;

// Calls work(first, count) over items 0 .. count - 1: with `bytes` (what the
// work moves) of kBytesForTwoThreads or more, the first half on the calling
// thread and the second on a helper thread; otherwise, or when no thread can
// be had, all on the calling thread. Under a limit on the address space no
// thread is started: one that found no room for its thread-local data would
// end the process. A failure of the first half is raised before one of the
// second.
template <class Work>
void in_two_halves(std::size_t count, uint64_t bytes, Work work) {
    if (bytes < kBytesForTwoThreads || count < 2 || ZTK::detail::address_space_limited()) {
        work(std::size_t{0}, count);
        return;
    }
    const std::size_t half = count / 2;
    std::exception_ptr failure;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                work(half, count - half);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (...) {
        work(std::size_t{0}, count);
        return;
    }
    try {
        work(std::size_t{0}, half);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace Korvu2::TAV
