#pragma once
// Runs the body of an exported function; any exception (a bad size,
// std::bad_alloc, ...) becomes the function's failure value instead of
// crossing the C boundary.
#include <utility>

namespace ztcimg {

template <class R, class F>
R guarded(R failure, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (...) {
        return failure;
    }
}

} // namespace ztcimg
