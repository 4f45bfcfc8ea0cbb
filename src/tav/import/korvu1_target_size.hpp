#pragma once
// The image size of an imported list: large enough to hold the feature
// window turned by any angle up to the rotation range either way, plus the
// borders on both sides, with the window centred in it.
#include <cstdint>
#include <optional>

namespace Korvu2::Korvu1 {

// The feature window as the file gives it, after the border adjustments;
// 64-bit so that the adjustments themselves cannot wrap.
struct WindowGeometry {
    int64_t width = 0;
    int64_t height = 0;
    int64_t originX = 0;
    int64_t originY = 0;
};

struct TargetSize {
    int32_t width = 0;
    int32_t height = 0;
    int32_t windowLeft = 0;
    int32_t windowTop = 0;
};

// Empty when a result, or the window itself, does not fit in 32 bits.
std::optional<TargetSize> ComputeTargetSize(const WindowGeometry& window, int32_t rotationRange, int32_t borderX,
                                            int32_t borderY);

} // namespace Korvu2::Korvu1
