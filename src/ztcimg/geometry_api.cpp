// Plane geometry helpers: rotation matrices, mapping points, angles. Angles
// are in degrees and turn from the +x axis towards the +y axis.
#include <cmath>
#include <numbers>

#include <zt/ztcimg.h>

extern "C" {

void ZtImageRotationMatrix(double degrees, double matrix[4]) {
    if (matrix == nullptr)
        return;
    double c, s;
    const double reduced = std::fmod(degrees, 360.0);
    // Quarter turns are exact, so rotated pixel grids stay on the grid.
    if (std::fmod(reduced, 90.0) == 0.0) {
        static constexpr double kCos[] = {1.0, 0.0, -1.0, 0.0};
        static constexpr double kSin[] = {0.0, 1.0, 0.0, -1.0};
        const int quarter = (static_cast<int>(reduced / 90.0) + 4) % 4;
        c = kCos[quarter];
        s = kSin[quarter];
    } else {
        const double radians = reduced * std::numbers::pi / 180.0;
        c = std::cos(radians);
        s = std::sin(radians);
    }
    matrix[0] = c;
    matrix[1] = -s;
    matrix[2] = s;
    matrix[3] = c;
}

void ZtImageTransformPoint(double x, double y, const double matrix[4], double* outX, double* outY) {
    if (matrix == nullptr)
        return;
    const double tx = matrix[0] * x + matrix[1] * y;
    const double ty = matrix[2] * x + matrix[3] * y;
    if (outX != nullptr)
        *outX = tx;
    if (outY != nullptr)
        *outY = ty;
}

double ZtImageVectorAngle(double x, double y) {
    return std::atan2(y, x) * 180.0 / std::numbers::pi;
}

} // extern "C"
