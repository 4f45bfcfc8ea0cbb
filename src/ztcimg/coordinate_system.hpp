#pragma once
// The 48-byte coordinate-system record an image carries: where its origin
// lies and its two axis directions, in pixel units. Callers treat it as
// opaque bytes; the default is the pixel grid itself.
#include <cstring>
#include <type_traits>

namespace ztcimg {

struct CoordinateSystem {
    double origin_x = 0.0;
    double origin_y = 0.0;
    double x_axis_x = 1.0;
    double x_axis_y = 0.0;
    double y_axis_x = 0.0;
    double y_axis_y = 1.0;

    // A record from outside is used only if its numbers are finite and its
    // axes span the plane.
    bool usable() const;

    static CoordinateSystem from_bytes(const void* record) {
        CoordinateSystem c;
        std::memcpy(&c, record, sizeof c);
        return c;
    }
};
static_assert(sizeof(CoordinateSystem) == 48 && std::is_trivially_copyable_v<CoordinateSystem>);

} // namespace ztcimg
