#include "raster_image.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "failure.hpp"

namespace tavtool {

namespace {

uint16_t luma(const Raster& r, int x, int y) {
    if (r.channels < 3)
        return r.at(x, y, 0);
    const unsigned v = 299u * r.at(x, y, 0) + 587u * r.at(x, y, 1) + 114u * r.at(x, y, 2);
    return static_cast<uint16_t>((v + 500) / 1000);
}

uint16_t channel(const Raster& r, int x, int y, int c) {
    if (c == 3) {
        const bool alpha = r.channels == 2 || r.channels == 4;
        return alpha ? r.at(x, y, r.channels - 1) : 255;
    }
    return r.channels >= 3 ? r.at(x, y, c) : r.at(x, y, 0);
}

double plane_value(ZTIMAGE image, int plane, int x, int y) {
    double v = 0;
    if (ZtImageGetPixel(image, plane, x, y, &v) < 0)
        fail_library("cannot read a pixel");
    return v;
}

} // namespace

Owned raster_to_image(const Raster& r, int planes) {
    clear_library_error();
    Owned image(ZtImageCreate(r.width, r.height, planes, ZT_DT_U8));
    if (!image)
        fail_library("cannot create an image");
    const bool alpha = r.channels == 2 || r.channels == 4;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            for (int p = 0; p < planes; ++p) {
                uint16_t v;
                if (planes <= 2)
                    v = p == 0 ? luma(r, x, y) : (alpha ? r.at(x, y, r.channels - 1) : 255);
                else
                    v = channel(r, x, y, p);
                if (ZtImageSetPixel(image.get(), p, x, y, v) < 0)
                    fail_library("cannot write a pixel");
            }
    return image;
}

std::vector<Raster> image_to_rasters(ZTIMAGE image) {
    const int width = ZtImageWidth(image), height = ZtImageHeight(image), planes = ZtImagePlaneCount(image);
    if (width < 1 || height < 1 || planes < 1)
        throw Failure("unreadable image");
    bool all_u8 = true;
    for (int p = 0; p < planes; ++p)
        all_u8 = all_u8 && (ZtImagePlaneDataType(image, p) & 0x3ff) == ZT_DT_U8;
    const int per_raster = planes <= 4 ? planes : 1;
    std::vector<Raster> out;
    for (int first = 0; first < planes; first += per_raster) {
        Raster r;
        r.width = width;
        r.height = height;
        r.channels = per_raster;
        r.bits = all_u8 ? 8 : 16;
        r.samples.resize(size_t(width) * height * per_raster);
        for (int c = 0; c < per_raster; ++c) {
            const int p = first + c;
            const uint32_t type = ZtImagePlaneDataType(image, p) & 0x3ff;
            const bool raw = (type & 0x300) == 0 && (type & 0xff) <= 16;
            double low = 0, high = 0;
            if (!raw) {
                low = std::numeric_limits<double>::infinity();
                high = -low;
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x) {
                        double v = plane_value(image, p, x, y);
                        if (std::isfinite(v)) {
                            low = std::min(low, v);
                            high = std::max(high, v);
                        }
                    }
            }
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    double v = plane_value(image, p, x, y);
                    if (!raw)
                        v = (std::isfinite(v) && high > low) ? (v - low) / (high - low) * 65535.0 : 0.0;
                    r.samples[(size_t(y) * width + x) * per_raster + c] =
                        static_cast<uint16_t>(std::clamp(std::lround(v), 0L, 65535L));
                }
        }
        out.push_back(std::move(r));
    }
    return out;
}

Owned fit_image(ZTIMAGE image, int width, int height) {
    const int w = ZtImageWidth(image), h = ZtImageHeight(image);
    clear_library_error();
    Owned fitted;
    if (w == width && h == height) {
        ZtImageCopy(image, fitted.out());
        if (!fitted)
            fail_library("cannot copy the image");
    } else if (w >= width && h >= height) {
        const int left = (w - width) / 2, top = (h - height) / 2;
        ZtImageMapArea(image, left, top, left + width - 1, top + height - 1, width, height, fitted.out());
        if (!fitted)
            fail_library("cannot cut the image");
    } else {
        const double matrix[4] = {double(width) / w, 0.0, 0.0, double(height) / h};
        ZtImageTransformByMatrix(image, matrix, fitted.out());
        if (!fitted)
            fail_library("cannot scale the image");
        if (ZtImageWidth(fitted.get()) != width || ZtImageHeight(fitted.get()) != height)
            throw Failure("scaling gave an image of the wrong size");
    }
    return fitted;
}

} // namespace tavtool
