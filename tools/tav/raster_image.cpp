#include "raster_image.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "failure.hpp"

namespace tavtool {

namespace {

uint16_t luma(const Raster& r, int x, int y) {
    if (r.channels < 3)
        return r.at(x, y, 0);
    const unsigned v = 299u * r.at(x, y, 0) + 587u * r.at(x, y, 1) + 114u * r.at(x, y, 2);
    return static_cast<uint16_t>((v + 500) / 1000);
}

// Channel c (0..3 of RGBA) of pixel (x, y); a missing alpha is opaque.
uint16_t channel(const Raster& r, int x, int y, int c) {
    if (c == 3) {
        const bool alpha = r.channels == 2 || r.channels == 4;
        return alpha ? r.at(x, y, r.channels - 1) : static_cast<uint16_t>((1u << r.bits) - 1);
    }
    return r.channels >= 3 ? r.at(x, y, c) : r.at(x, y, 0);
}

// A sample of `from` bits as one of `to` bits: 8 -> 16 by 257, 16 -> 8 by
// 1/257 rounded, so that 8 -> 16 -> 8 gives the value back.
uint16_t convert_depth(uint16_t v, int from, int to) {
    if (from == to)
        return v;
    return to == 16 ? static_cast<uint16_t>(v * 257u) : static_cast<uint16_t>((v + 128u) / 257u);
}

double plane_value(ZTIMAGE image, int plane, int x, int y) {
    double v = 0;
    if (ZtImageGetPixel(image, plane, x, y, &v) < 0)
        fail_library("cannot read a pixel");
    return v;
}

} // namespace

Owned raster_to_image(const Raster& r, int planes, int depth) {
    clear_library_error();
    Owned image(ZtImageCreate(r.width, r.height, planes, depth == 16 ? ZT_DT_U16 : ZT_DT_U8));
    if (!image)
        fail_library("cannot create an image");
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            for (int p = 0; p < planes; ++p) {
                uint16_t v;
                if (planes <= 2)
                    v = p == 0 ? luma(r, x, y) : channel(r, x, y, 3);
                else
                    v = channel(r, x, y, p);
                if (ZtImageSetPixel(image.get(), p, x, y, convert_depth(v, r.bits, depth)) < 0)
                    fail_library("cannot write a pixel");
            }
    return image;
}

bool has_colour(const Raster& r) {
    if (r.channels < 3)
        return false;
    for (size_t i = 0; i + 2 < r.samples.size(); i += size_t(r.channels))
        if (r.samples[i] != r.samples[i + 1] || r.samples[i + 1] != r.samples[i + 2])
            return true;
    return false;
}

namespace {

// The rasters of an image given by the pixel type of each plane and a
// reader of its samples, as image_to_rasters describes.
template <class TypeOf, class ValueOf>
std::vector<Raster> planes_to_rasters(int width, int height, int planes, TypeOf type_of, ValueOf value_of) {
    if (width < 1 || height < 1 || planes < 1)
        throw Failure("unreadable image");
    bool all_u8 = true;
    for (int p = 0; p < planes; ++p)
        all_u8 = all_u8 && (type_of(p) & 0x3ff) == ZT_DT_U8;
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
            const uint32_t type = type_of(p) & 0x3ff;
            const bool raw = (type & 0x300) == 0 && (type & 0xff) <= 16;
            double low = 0, high = 0;
            if (!raw) {
                low = std::numeric_limits<double>::infinity();
                high = -low;
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x) {
                        double v = value_of(p, x, y);
                        if (std::isfinite(v)) {
                            low = std::min(low, v);
                            high = std::max(high, v);
                        }
                    }
            }
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    double v = value_of(p, x, y);
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

// One sample of a pixel type, in native byte order.
double sample_value(const unsigned char* at, uint32_t type) {
    const auto load = [at](auto v) {
        std::memcpy(&v, at, sizeof v);
        return static_cast<double>(v);
    };
    switch (type & 0x3ff) {
    case ZT_DT_U8: return load(uint8_t{});
    case ZT_DT_S8: return load(int8_t{});
    case ZT_DT_U16: return load(uint16_t{});
    case ZT_DT_S16: return load(int16_t{});
    case ZT_DT_U32: return load(uint32_t{});
    case ZT_DT_S32: return load(int32_t{});
    case ZT_DT_U64: return load(uint64_t{});
    case ZT_DT_S64: return load(int64_t{});
    case ZT_DT_F32: return load(float{});
    case ZT_DT_F64: return load(double{});
    default: return 0;
    }
}

} // namespace

std::vector<Raster> image_to_rasters(ZTIMAGE image) {
    return planes_to_rasters(
        ZtImageWidth(image), ZtImageHeight(image), ZtImagePlaneCount(image),
        [image](int p) { return ZtImagePlaneDataType(image, p); },
        [image](int p, int x, int y) { return plane_value(image, p, x, y); });
}

std::vector<Raster> samples_to_rasters(const unsigned char* item, int width, int height, int planes, uint32_t type) {
    const int bytes = BytesPerPixel(type);
    if (bytes < 1)
        throw Failure("unknown pixel type");
    return planes_to_rasters(
        width, height, planes, [type](int) { return type; },
        [=](int p, int x, int y) {
            return sample_value(item + ((size_t(y) * width + x) * planes + p) * size_t(bytes), type);
        });
}

std::optional<Fit> parse_fit(const std::string& text) {
    if (text == "crop")
        return Fit::kCrop;
    if (text == "scale")
        return Fit::kScale;
    if (text == "pad")
        return Fit::kPad;
    return std::nullopt;
}

namespace {

// The inclusive area (left, top, right, bottom) of `image` resampled to
// width x height; a view of it when the sizes are equal.
Owned map_area(ZTIMAGE image, int left, int top, int right, int bottom, int width, int height) {
    Owned out;
    ZtImageMapArea(image, left, top, right, bottom, width, height, out.out());
    if (!out)
        fail_library("cannot resample the image");
    return out;
}

// The whole image scaled by one factor to fit inside width x height,
// centred on a zeroed (black, transparent) image of that size.
Owned pad_image(ZTIMAGE image, int w, int h, int width, int height) {
    const double scale = std::min(double(width) / w, double(height) / h);
    const int inner_w = std::clamp(int(std::lround(w * scale)), 1, width);
    const int inner_h = std::clamp(int(std::lround(h * scale)), 1, height);
    Owned inner = map_area(image, 0, 0, w - 1, h - 1, inner_w, inner_h);
    const int planes = ZtImagePlaneCount(image);
    std::vector<uint32_t> types;
    for (int p = 0; p < planes; ++p)
        types.push_back(ZtImagePlaneDataType(image, p));
    Owned out(ZtImageCreatePlanes(width, height, planes, types.data()));
    if (!out)
        fail_library("cannot create an image");
    const int left = (width - inner_w) / 2, top = (height - inner_h) / 2;
    for (int p = 0; p < planes; ++p)
        for (int y = 0; y < inner_h; ++y)
            for (int x = 0; x < inner_w; ++x)
                if (ZtImageSetPixel(out.get(), p, left + x, top + y, plane_value(inner.get(), p, x, y)) < 0)
                    fail_library("cannot write a pixel");
    return out;
}

} // namespace

Owned fit_image(ZTIMAGE image, int width, int height, Fit fit) {
    const int w = ZtImageWidth(image), h = ZtImageHeight(image);
    clear_library_error();
    if (w == width && h == height) {
        Owned copy;
        ZtImageCopy(image, copy.out());
        if (!copy)
            fail_library("cannot copy the image");
        return copy;
    }
    if (fit == Fit::kScale)
        return map_area(image, 0, 0, w - 1, h - 1, width, height);
    if (fit == Fit::kPad)
        return pad_image(image, w, h, width, height);
    // The centred area at the image's own scale; an image smaller in either
    // direction is first enlarged, by one factor for both, until it covers.
    const double scale = std::max({1.0, double(width) / w, double(height) / h});
    const int area_w = std::clamp(int(std::lround(width / scale)), 1, w);
    const int area_h = std::clamp(int(std::lround(height / scale)), 1, h);
    const int left = (w - area_w) / 2, top = (h - area_h) / 2;
    return map_area(image, left, top, left + area_w - 1, top + area_h - 1, width, height);
}

} // namespace tavtool
