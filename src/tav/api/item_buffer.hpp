#pragma once
// The check every function that moves items through a caller's buffer makes
// before it touches the buffer.
#include <cstdint>

#include "tav/frame/call_frame.hpp"

namespace Korvu2::TAV::api {

// The buffer must hold count items of itemSize bytes each.
inline void check_item_buffer(const void* buffer, uint64_t size, int64_t count, uint64_t itemSize) {
    if (count == 0)
        return;
    if (buffer == nullptr)
        frame::fail(ErrInvalidArgument);
    if (itemSize != 0 && size / itemSize < static_cast<uint64_t>(count))
        frame::fail(ErrBufferTooSmall);
}

} // namespace Korvu2::TAV::api
