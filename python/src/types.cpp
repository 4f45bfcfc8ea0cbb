// Label types and data types: Python descriptions to library handles and back.
#include <optional>
#include <tuple>

#include <pybind11/stl.h>

#include "binding.hpp"

namespace tavpy {

Owned make_label_type(const LabelKind& kind) {
    Reports reports;
    if (auto* vector = std::get_if<VectorType>(&kind))
        return Owned(reports.handle(TavCreateLabelTypeFloatVector(vector->dimension), "TavCreateLabelTypeFloatVector"));
    if (std::get<std::string>(kind) != "string")
        throw py::value_error("labels must be \"string\" or a tav.VectorType");
    return Owned(reports.handle(TavCreateLabelTypeString(), "TavCreateLabelTypeString"));
}

Owned make_data_type(const DataKind& kind) {
    Reports reports;
    if (auto* vector = std::get_if<VectorType>(&kind))
        return Owned(reports.handle(TavCreateDataTypeFloatVector(vector->dimension), "TavCreateDataTypeFloatVector"));
    const auto& t = std::get<ImageType>(kind);
    return Owned(reports.handle(TavCreateDataTypeImage(t.width, t.height, t.planes, t.pixel, t.left, t.top,
                                                       t.window_width, t.window_height, t.origin_x, t.origin_y),
                                "TavCreateDataTypeImage"));
}

LabelKind read_label_type(TAV list) {
    Reports reports;
    if (reports.count(TavGetLabelTypeEnum(list), "TavGetLabelTypeEnum") == 0)
        return std::string("string");
    uint64_t dimension = 0;
    reports.status(TavGetFloatVectorLabelDim(TavGetLabelType(list), &dimension), "TavGetFloatVectorLabelDim");
    return VectorType{static_cast<int32_t>(dimension)};
}

DataKind read_data_type(TAV list) {
    Reports reports;
    TAVDATATYPE type = TavGetDataType(list); // borrowed
    if (reports.count(TavGetDataTypeEnum(list), "TavGetDataTypeEnum") == 1) {
        uint64_t dimension = 0;
        reports.status(TavGetFloatVectorDataDim(type, &dimension), "TavGetFloatVectorDataDim");
        return VectorType{static_cast<int32_t>(dimension)};
    }
    ImageType t;
    reports.status(TavGetImageDataGeometry(type, &t.width, &t.height, &t.planes, &t.pixel), "TavGetImageDataGeometry");
    reports.status(TavGetFeatureWindow(type, &t.left, &t.top, &t.window_width, &t.window_height, &t.origin_x,
                                       &t.origin_y),
                   "TavGetFeatureWindow");
    return t;
}

namespace {

using Window = std::tuple<int32_t, int32_t, int32_t, int32_t>;
using Point = std::tuple<int32_t, int32_t>;

auto image_fields(const ImageType& t) {
    return std::tie(t.width, t.height, t.planes, t.pixel, t.left, t.top, t.window_width, t.window_height, t.origin_x,
                    t.origin_y);
}

} // namespace

void bind_types(py::module_& m) {
    py::class_<ImageType>(m, "ImageType", R"(Image data: every item is an image of one geometry and pixel type.

ImageType(width, height, planes=1, dtype="uint8", window=None, origin=(0, 0))

dtype is a NumPy dtype (or its name) of uint8, int8, uint16, int16, uint32,
int32, uint64, int64, float32 or float64. window is the feature window
(left, top, width, height) inside the image, the whole image when None;
origin is a point (x, y) relative to the window's top-left corner. The
library checks the values when a list is made with the type.)")
        .def(py::init([](int32_t width, int32_t height, int32_t planes, const py::object& dtype,
                         std::optional<Window> window, Point origin) {
                 ImageType t{width, height, planes, pixel_word(py::dtype::from_args(dtype))};
                 std::tie(t.left, t.top, t.window_width, t.window_height) = window.value_or(Window{0, 0, width, height});
                 std::tie(t.origin_x, t.origin_y) = origin;
                 return t;
             }),
             py::arg("width"), py::arg("height"), py::arg("planes") = 1, py::arg("dtype") = "uint8",
             py::arg("window") = py::none(), py::arg("origin") = Point{0, 0})
        .def_readonly("width", &ImageType::width, "Pixels per line.")
        .def_readonly("height", &ImageType::height, "Lines per image.")
        .def_readonly("planes", &ImageType::planes, "Planes (channels) per pixel.")
        .def_readonly("pixel_type", &ImageType::pixel, "the image library's data-type word")
        .def_property_readonly("dtype", [](const ImageType& t) { return pixel_dtype(t.pixel); }, "The pixels' NumPy dtype.")
        .def_property_readonly("window",
                               [](const ImageType& t) { return Window{t.left, t.top, t.window_width, t.window_height}; },
                               "The feature window (left, top, width, height).")
        .def_property_readonly("origin", [](const ImageType& t) { return Point{t.origin_x, t.origin_y}; },
                               "The origin (x, y), relative to the window's top-left corner.")
        .def("__eq__", [](const ImageType& a, const ImageType& b) { return image_fields(a) == image_fields(b); }, py::is_operator())
        .def("__repr__", [](const ImageType& t) {
            return py::str("tav.ImageType({}, {}, planes={}, dtype='{}', window=({}, {}, {}, {}), origin=({}, {}))")
                .format(t.width, t.height, t.planes, pixel_name(t.pixel), t.left, t.top, t.window_width, t.window_height,
                        t.origin_x, t.origin_y);
        });

    py::class_<VectorType>(m, "VectorType", R"(Vectors of float32 values of one dimension, as data or as labels.

VectorType(dimension))")
        .def(py::init([](int32_t dimension) { return VectorType{dimension}; }), py::arg("dimension"))
        .def_readonly("dimension", &VectorType::dimension, "Floats per vector.")
        .def("__eq__", [](const VectorType& a, const VectorType& b) { return a.dimension == b.dimension; }, py::is_operator())
        .def("__repr__", [](const VectorType& t) { return py::str("tav.VectorType({})").format(t.dimension); });
}

} // namespace tavpy
