#include "resample.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "size_limits.hpp"

namespace ztcimg {
namespace {

// Coordinates this close to a whole number are taken as whole, so that exact
// scalings and quarter turns reproduce pixels without rounding noise.
constexpr double kSnap = 1e-9;

double snap(double v) {
    const double r = std::round(v);
    return std::fabs(v - r) < kSnap ? r : v;
}

// Bilinear value at (sx, sy) in pixel-centre coordinates, neighbours clamped
// to the plane. Terms of weight 0 are left out so that a NaN pixel does not
// spread to its neighbours' exact positions.
double sample(const CImagePlane& plane, int32_t width, int32_t height, double sx, double sy) {
    sx = std::clamp(snap(sx), 0.0, static_cast<double>(width - 1));
    sy = std::clamp(snap(sy), 0.0, static_cast<double>(height - 1));
    const double fx0 = std::floor(sx), fy0 = std::floor(sy);
    const double tx = sx - fx0, ty = sy - fy0;
    const auto x0 = static_cast<int32_t>(fx0), y0 = static_cast<int32_t>(fy0);
    const int32_t x1 = std::min(x0 + 1, width - 1), y1 = std::min(y0 + 1, height - 1);
    const std::array<std::array<double, 3>, 4> terms{{
        {(1 - tx) * (1 - ty), double(x0), double(y0)},
        {tx * (1 - ty), double(x1), double(y0)},
        {(1 - tx) * ty, double(x0), double(y1)},
        {tx * ty, double(x1), double(y1)},
    }};
    double sum = 0.0;
    for (const auto& t : terms)
        if (t[0] != 0.0)
            sum += t[0] * plane.format().load(plane.pixel(static_cast<int32_t>(t[1]), static_cast<int32_t>(t[2])));
    return sum;
}

} // namespace

std::unique_ptr<CImage> resample(const CImage& source, int32_t width, int32_t height) {
    auto out = CImage::create(width, height, source.data_types());
    const double kx = static_cast<double>(source.width()) / width;
    const double ky = static_cast<double>(source.height()) / height;
    for (int32_t p = 0; p < source.plane_count(); ++p) {
        const CImagePlane& from = source.plane(p);
        const CImagePlane& to = out->plane(p);
        for (int32_t y = 0; y < height; ++y) {
            const double sy = (y + 0.5) * ky - 0.5;
            for (int32_t x = 0; x < width; ++x) {
                const double sx = (x + 0.5) * kx - 0.5;
                to.format().store(to.pixel(x, y), sample(from, source.width(), source.height(), sx, sy));
            }
        }
    }
    return out;
}

std::unique_ptr<CImage> transform(const CImage& source, const double matrix[4]) {
    const double a = matrix[0], b = matrix[1], c = matrix[2], d = matrix[3];
    const double det = a * d - b * c;
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d) || det == 0.0 ||
        !std::isfinite(det))
        return nullptr;

    // Bounding box of the transformed image rectangle [0, w] x [0, h].
    const double w = source.width(), h = source.height();
    const double xs[] = {0.0, a * w, b * h, a * w + b * h};
    const double ys[] = {0.0, c * w, d * h, c * w + d * h};
    const double min_x = *std::min_element(std::begin(xs), std::end(xs));
    const double max_x = *std::max_element(std::begin(xs), std::end(xs));
    const double min_y = *std::min_element(std::begin(ys), std::end(ys));
    const double max_y = *std::max_element(std::begin(ys), std::end(ys));
    const double out_w = std::round(max_x - min_x), out_h = std::round(max_y - min_y);
    if (!(out_w >= 1.0 && out_h >= 1.0 && out_w <= INT32_MAX && out_h <= INT32_MAX))
        return nullptr;
    const auto width = static_cast<int32_t>(out_w), height = static_cast<int32_t>(out_h);
    if (!plane_bytes(width, height, 1))
        return nullptr; // CImage::create checks the exact size; this spares the throw
    auto out = CImage::create(width, height, source.data_types());

    // Inverse mapping: each target pixel centre back into the source; target
    // pixels whose centre falls outside the source stay 0.
    const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    const double lo = -0.5 - kSnap, hi_x = w - 0.5 + kSnap, hi_y = h - 0.5 + kSnap;
    for (int32_t p = 0; p < source.plane_count(); ++p) {
        const CImagePlane& from = source.plane(p);
        const CImagePlane& to = out->plane(p);
        for (int32_t y = 0; y < height; ++y) {
            const double qy = min_y + y + 0.5;
            for (int32_t x = 0; x < width; ++x) {
                const double qx = min_x + x + 0.5;
                const double sx = ia * qx + ib * qy - 0.5;
                const double sy = ic * qx + id * qy - 0.5;
                if (sx >= lo && sx <= hi_x && sy >= lo && sy <= hi_y)
                    to.format().store(to.pixel(x, y), sample(from, source.width(), source.height(), sx, sy));
            }
        }
    }
    return out;
}

} // namespace ztcimg
