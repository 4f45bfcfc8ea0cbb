#include "coordinate_system.hpp"

#include <cmath>

namespace ztcimg {

bool CoordinateSystem::usable() const {
    const double v[] = {origin_x, origin_y, x_axis_x, x_axis_y, y_axis_x, y_axis_y};
    for (double d : v)
        if (!std::isfinite(d))
            return false;
    return x_axis_x * y_axis_y - x_axis_y * y_axis_x != 0.0;
}

} // namespace ztcimg
