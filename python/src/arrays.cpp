// Pixels and float vectors between library objects and NumPy arrays.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

#include "binding.hpp"

namespace tavpy {
namespace {

struct Pixel {
    uint32_t word;
    const char* name;
    std::size_t bytes;
};
// Image lists ignore the flag bits above the low ten of a word.
constexpr uint32_t kWordBits = 0x3FF;
constexpr Pixel kPixels[] = {
    {ZT_DT_U8, "uint8", 1},   {ZT_DT_S8, "int8", 1},   {ZT_DT_U16, "uint16", 2},   {ZT_DT_S16, "int16", 2},
    {ZT_DT_U32, "uint32", 4}, {ZT_DT_S32, "int32", 4}, {ZT_DT_U64, "uint64", 8},   {ZT_DT_S64, "int64", 8},
    {ZT_DT_F32, "float32", 4}, {ZT_DT_F64, "float64", 8},
};

const Pixel* find_pixel(uint32_t word) {
    for (const auto& p : kPixels)
        if (p.word == (word & kWordBits))
            return &p;
    return nullptr;
}

const Pixel& known_pixel(uint32_t word) {
    if (const Pixel* p = find_pixel(word))
        return *p;
    throw py::type_error("pixel data type " + pixel_name(word) + " has no NumPy dtype");
}

ZTK::IZtImage* image_interface(ZTIMAGE image) {
    void* iface = nullptr;
    if (ZtQueryInterface(image, ZT_IMAGE_INTERFACE_ID, &iface) < 0 || !iface)
        throw std::runtime_error("an item's image cannot be read");
    return static_cast<ZTK::IZtImage*>(iface);
}

// Moves pixels of one plane between an image (addressed through its linear
// access table) and an interleaved (height, width, planes) buffer. Rows that
// lie contiguously, the usual case, go in one copy.
template <std::size_t N, bool ToImage>
void move_plane(std::byte* base, const ZTK::ZtLinearEntry* table, int32_t width, int32_t height,
                std::byte* buffer, std::size_t step) {
    bool contiguous = step == N;
    for (int32_t x = 0; contiguous && x < width; ++x)
        contiguous = table[x].x == static_cast<int64_t>(x) * static_cast<int64_t>(N);
    for (int32_t y = 0; y < height; ++y) {
        std::byte* row = base + table[y].y;
        if (contiguous) {
            ToImage ? std::memcpy(row, buffer, N * width) : std::memcpy(buffer, row, N * width);
            buffer += N * width;
            continue;
        }
        for (int32_t x = 0; x < width; ++x, buffer += step)
            ToImage ? std::memcpy(row + table[x].x, buffer, N) : std::memcpy(buffer, row + table[x].x, N);
    }
}

template <bool ToImage>
void move_pixels(ZTK::IZtImage& image, const ImageType& t, std::byte* buffer) {
    const std::size_t bytes = pixel_bytes(t.pixel);
    for (int32_t plane = 0; plane < t.planes; ++plane) {
        void* base = nullptr;
        const ZTK::ZtLinearEntry* table = nullptr;
        if (image.GetLinearAccess(plane, &base, &table) < 0 || !base || !table)
            throw std::runtime_error("an item's image cannot be read");
        auto* start = static_cast<std::byte*>(base);
        std::byte* out = buffer + plane * bytes;
        const std::size_t step = bytes * t.planes;
        switch (bytes) {
        case 1: move_plane<1, ToImage>(start, table, t.width, t.height, out, step); break;
        case 2: move_plane<2, ToImage>(start, table, t.width, t.height, out, step); break;
        case 4: move_plane<4, ToImage>(start, table, t.width, t.height, out, step); break;
        default: move_plane<8, ToImage>(start, table, t.width, t.height, out, step); break;
        }
    }
}

void read_image(TAVDATA data, const ImageType& t, std::byte* out) {
    ZTIMAGE image = 0; // borrowed from the data object
    Reports().status(TavGetImageData(data, &image), "TavGetImageData");
    ZTK::IZtImage& access = *image_interface(image);
    // A loaded file is not trusted to hold images of its own geometry.
    int32_t planes = 0, width = 0, height = 0;
    bool fits = access.GetDimension(&planes, &width, &height) >= 0 && planes == t.planes && width == t.width &&
                height == t.height;
    for (int32_t plane = 0; fits && plane < planes; ++plane) {
        uint32_t word = 0;
        fits = access.GetPlaneDataType(plane, &word) >= 0 && (word & kWordBits) == (t.pixel & kWordBits);
    }
    if (!fits)
        throw std::runtime_error("an item's image does not fit the list's data type");
    move_pixels<false>(access, t, out);
}

int32_t dimension_of(py::ssize_t extent) {
    if (extent < 1 || extent > std::numeric_limits<int32_t>::max())
        throw py::value_error("an image needs 1 to 2^31-1 pixels, lines and planes");
    return static_cast<int32_t>(extent);
}

} // namespace

std::string pixel_name(uint32_t word) {
    if (const Pixel* p = find_pixel(word))
        return p->name;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%03x", word);
    return hex;
}

py::dtype pixel_dtype(uint32_t word) { return py::dtype(known_pixel(word).name); }

std::size_t pixel_bytes(uint32_t word) { return known_pixel(word).bytes; }

uint32_t pixel_word(const py::dtype& dtype) {
    for (const auto& p : kPixels)
        if (dtype.equal(py::dtype(p.name)))
            return p.word;
    throw py::type_error("images hold (u)int8/16/32/64, float32 or float64 pixels in native byte order, not " +
                         py::str(static_cast<const py::handle&>(dtype)).cast<std::string>());
}

std::vector<py::ssize_t> item_shape(const DataKind& kind) {
    if (auto* vector = std::get_if<VectorType>(&kind))
        return {vector->dimension};
    const auto& t = std::get<ImageType>(kind);
    if (t.planes == 1)
        return {t.height, t.width};
    return {t.height, t.width, t.planes};
}

uint32_t item_word(const DataKind& kind) {
    auto* image = std::get_if<ImageType>(&kind);
    return image ? image->pixel : ZT_DT_F32;
}

namespace {

std::string shape_text(const std::vector<py::ssize_t>& shape) {
    std::string text = "(";
    for (std::size_t i = 0; i < shape.size(); ++i)
        text += (i ? ", " : "") + std::to_string(shape[i]);
    return text + (shape.size() == 1 ? ",)" : ")");
}

std::string array_text(const py::array& array) {
    return "a " + shape_text({array.shape(), array.shape() + array.ndim()}) + " " +
           py::str(static_cast<const py::handle&>(array.dtype())).cast<std::string>() + " array";
}

} // namespace

std::string describe(const DataKind& kind) {
    if (auto* vector = std::get_if<VectorType>(&kind))
        return "vectors of " + std::to_string(vector->dimension) + " floats";
    return shape_text(item_shape(kind)) + " " + pixel_name(item_word(kind)) + " images";
}

py::array new_items(const DataKind& kind, std::size_t count, bool stacked) {
    std::vector<py::ssize_t> shape = item_shape(kind);
    if (stacked)
        shape.insert(shape.begin(), static_cast<py::ssize_t>(count));
    return py::array(pixel_dtype(item_word(kind)), shape);
}

void read_data(TAVDATA data, const DataKind& kind, std::byte* out) {
    if (auto* image = std::get_if<ImageType>(&kind))
        return read_image(data, *image, out);
    const auto dimension = static_cast<uint64_t>(std::get<VectorType>(kind).dimension);
    uint64_t count = dimension;
    Reports().status(TavGetFloatVectorData(data, reinterpret_cast<float*>(out), &count), "TavGetFloatVectorData");
    if (count != dimension)
        throw std::runtime_error("an item's vector does not fit the list's data type");
}

StackedData::StackedData(const py::handle& values, const DataKind& kind) {
    std::vector<py::ssize_t> shape = item_shape(kind);
    const bool image = std::holds_alternative<ImageType>(kind);
    array_ = image ? py::array::ensure(values, py::array::c_style)
                   : py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(values);
    if (!array_)
        throw py::type_error("the stacked data must be an array of numbers");
    const auto given = array_.ndim() ? array_.shape(0) : 0;
    shape.insert(shape.begin(), given);
    bool fits = array_.ndim() == static_cast<py::ssize_t>(shape.size()) &&
                std::equal(shape.begin(), shape.end(), array_.shape()) &&
                (!image || array_.dtype().equal(pixel_dtype(item_word(kind))));
    if (!fits) {
        std::string wanted = "(N";
        for (std::size_t i = 1; i < shape.size(); ++i)
            wanted += ", " + std::to_string(shape[i]);
        throw LibraryError(TAV_E_INCOMPATIBLE, "List.extend",
                           "the list holds " + describe(kind) + ", so it takes a " + wanted + ") " +
                               (image ? pixel_name(item_word(kind)) + " " : std::string()) + "array; given " +
                               array_text(array_));
    }
    count_ = static_cast<std::size_t>(given);
}

Which parse_which(const py::handle& which) {
    Which w;
    if (which.is_none())
        return w;
    if (py::isinstance<py::slice>(which)) {
        if (PySlice_Unpack(which.ptr(), &w.start, &w.stop, &w.step) < 0)
            throw py::error_already_set();
        w.kind = Which::Slice;
        return w;
    }
    py::array array = py::array::ensure(which);
    if (!array || array.ndim() != 1 || (array.size() && array.dtype().kind() != 'b' && array.dtype().kind() != 'i' &&
                                        array.dtype().kind() != 'u'))
        throw py::type_error("items are selected by a slice, a 1-D sequence of int indices or a 1-D bool mask; given " +
                             (array ? array_text(array) : "a " + py::type::of(which).attr("__name__").cast<std::string>()));
    w.kind = Which::Indices;
    if (array.dtype().kind() == 'b') {
        w.mask = true;
        w.mask_length = static_cast<std::size_t>(array.size());
        auto flags = py::array_t<bool, py::array::c_style | py::array::forcecast>::ensure(array);
        for (py::ssize_t i = 0; i < flags.size(); ++i)
            if (flags.data()[i])
                w.indices.push_back(i);
        return w;
    }
    auto values = py::array_t<int64_t, py::array::c_style | py::array::forcecast>::ensure(array);
    w.indices.assign(values.data(), values.data() + values.size());
    return w;
}

Selection resolve(const Which& which, int64_t n) {
    Selection s;
    switch (which.kind) {
    case Which::All:
        s.count = n;
        return s;
    case Which::Slice: {
        py::ssize_t start = which.start, stop = which.stop;
        const auto count = PySlice_AdjustIndices(n, &start, &stop, which.step);
        s.first = start;
        s.count = count;
        if (which.step != 1) {
            s.listed = true;
            for (py::ssize_t k = 0; k < count; ++k)
                s.indices.push_back(start + k * which.step);
        }
        return s;
    }
    case Which::Indices:
        if (which.mask && which.mask_length != static_cast<std::size_t>(n))
            throw py::index_error("a bool mask of " + std::to_string(which.mask_length) + " values for " +
                                  std::to_string(n) + " items");
        s.listed = true;
        s.indices = which.indices;
        for (auto& i : s.indices) {
            if (i < -n || i >= n)
                throw py::index_error("index " + std::to_string(i) + " is out of range for " + std::to_string(n) +
                                      " items");
            if (i < 0)
                i += n;
        }
        return s;
    }
    return s;
}

std::vector<float> float_vector(const py::handle& values, const char* what) {
    auto array = py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(values);
    if (!array || py::isinstance<py::str>(values))
        throw py::type_error(std::string(what) + " must be a 1-D array or sequence of numbers");
    if (array.ndim() != 1)
        throw py::value_error(std::string(what) + " must be 1-D, not of shape " +
                              py::str(array.attr("shape")).cast<std::string>());
    return {array.data(), array.data() + array.size()};
}

Owned make_data(const py::handle& values, const DataKind& kind) {
    Reports reports;
    if (std::holds_alternative<VectorType>(kind)) {
        std::vector<float> v = float_vector(values, "vector data");
        return Owned(reports.handle(TavCreateVectorData(v.data(), v.size()), "TavCreateVectorData"));
    }
    py::array array = py::array::ensure(values, py::array::c_style);
    if (!array)
        throw py::type_error("image data must be a NumPy array");
    if (array.ndim() != 2 && array.ndim() != 3)
        throw py::value_error("an image must be a 2-D (height, width) or 3-D (height, width, planes) array, not " +
                              std::to_string(array.ndim()) + "-D");
    ImageType t;
    t.pixel = pixel_word(array.dtype());
    t.height = dimension_of(array.shape(0));
    t.width = dimension_of(array.shape(1));
    t.planes = array.ndim() == 3 ? dimension_of(array.shape(2)) : 1;
    Owned image(reports.handle(ZtImageCreate(t.width, t.height, t.planes, t.pixel), "ZtImageCreate"));
    move_pixels<true>(*image_interface(image.get()),
                      t, static_cast<std::byte*>(const_cast<void*>(array.data())));
    // The data object copies the image; ours goes when `image` does.
    return Owned(reports.handle(TavCreateImageData(image.get(), 0, 0, t.width, t.height), "TavCreateImageData"));
}

} // namespace tavpy
