#include "tav/import/korvu1_target_size.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include <zt/ztcimg.h>

namespace Korvu2::Korvu1 {
namespace {

struct Box {
    double minX, maxX, minY, maxY;

    void Widen(double x, double y) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    void Unite(const Box& other) {
        Widen(other.minX, other.minY);
        Widen(other.maxX, other.maxY);
    }
};

// The box of the arc that (x, y) sweeps turning by up to t degrees either
// way: both end points, plus every axis the arc crosses, where the circle of
// radius r reaches furthest.
Box ArcBox(double x, double y, double t) {
    Box box{x, x, y, y};
    const double r = std::sqrt(x * x + y * y);
    if (!(r > 0))
        return box;
    for (double angle : {-t, t}) {
        double matrix[4];
        double rx = 0, ry = 0;
        ZtImageRotationMatrix(angle, matrix);
        ZtImageTransformPoint(x, y, matrix, &rx, &ry);
        box.Widen(rx, ry);
    }
    const double p = ZtImageVectorAngle(x, y);
    for (int k = -360; k <= 630; k += 90) {
        if (!(p - t <= k && k <= p + t))
            continue;
        switch ((k % 360 + 360) % 360) {
        case 0: box.maxX = r; break;
        case 90: box.maxY = r; break;
        case 180: box.minX = -r; break;
        default: box.minY = -r; break;
        }
    }
    return box;
}

bool FitsInt32(int64_t v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

// A floor or ceiling as a 32-bit integer; false when it has no such value.
bool ToInt32(double v, int64_t& out) {
    if (!(v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()))
        return false;
    out = static_cast<int32_t>(v);
    return true;
}

int64_t HalfRoundedDown(int64_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

} // namespace

std::optional<TargetSize> ComputeTargetSize(const WindowGeometry& window, int32_t rotationRange, int32_t borderX,
                                            int32_t borderY) {
    const int64_t a = window.width, b = window.height, c = window.originX, d = window.originY;
    if (!FitsInt32(a) || !FitsInt32(b) || !FitsInt32(c) || !FitsInt32(d))
        return std::nullopt;

    // Corners relative to the origin; within 2^33, so exact as doubles.
    const std::array<std::array<int64_t, 2>, 4> corners{{{-c, -d}, {-c, b - d - 1}, {a - c - 1, -d}, {a - c - 1, b - d - 1}}};
    const double t = rotationRange;
    Box box = ArcBox(static_cast<double>(corners[0][0]), static_cast<double>(corners[0][1]), t);
    for (size_t i = 1; i < corners.size(); ++i)
        box.Unite(ArcBox(static_cast<double>(corners[i][0]), static_cast<double>(corners[i][1]), t));

    int64_t left = 0, right = 0, top = 0, bottom = 0;
    if (!ToInt32(std::floor(box.minX), left) || !ToInt32(std::ceil(box.maxX), right) ||
        !ToInt32(std::floor(box.minY), top) || !ToInt32(std::ceil(box.maxY), bottom))
        return std::nullopt;

    // Every term is within 32 bits, so the 64-bit sums cannot wrap.
    const int64_t width = right - left + 1 + 2 * int64_t{borderX};
    const int64_t height = bottom - top + 1 + 2 * int64_t{borderY};
    const int64_t windowLeft = HalfRoundedDown(width - a);
    const int64_t windowTop = HalfRoundedDown(height - b);
    if (!FitsInt32(width) || !FitsInt32(height) || !FitsInt32(windowLeft) || !FitsInt32(windowTop))
        return std::nullopt;
    return TargetSize{static_cast<int32_t>(width), static_cast<int32_t>(height), static_cast<int32_t>(windowLeft),
                      static_cast<int32_t>(windowTop)};
}

} // namespace Korvu2::Korvu1
