// Data types: creation, comparison, feature window, geometry, fringes and
// dimension queries.
#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

constexpr const char* kWindowOutside =
    "The input values lead to a feature window which is located partly outside the image";
constexpr const char* kWindowEmpty = "The input values lead to a an empty feature window which is not permitted";
constexpr const char* kOriginOutside =
    "The input values would put the origin outside the feature window which is not permitted";

// Both create functions report under this name.
ZTHANDLE create_image_type(int32_t width, int32_t height, int32_t planes, uint32_t pixelDataType, int32_t left,
                           int32_t top, int32_t windowWidth, int32_t windowHeight, int32_t originX, int32_t originY) {
    return frame::handle("TavCreateDataTypeImage", [&](frame::Call&) {
        if (width < 1 || height < 1 || planes < 1)
            frame::fail(ErrInvalidValue);
        if (left < 0 || left >= width || top < 0 || top >= height)
            frame::fail(ErrInvalidValue, kWindowOutside);
        if (windowWidth < 1 || windowHeight < 1)
            frame::fail(ErrInvalidValue, kWindowEmpty);
        // 64-bit sums: int32 extremes must not wrap into an accepted window.
        if (int64_t{left} + windowWidth > width || int64_t{top} + windowHeight > height)
            frame::fail(ErrInvalidValue, kWindowOutside);
        if (originX < 0 || originX >= windowWidth || originY < 0 || originY >= windowHeight)
            frame::fail(ErrInvalidValue, kOriginOutside);
        const FeatureWindow window{left, top, left + windowWidth - 1, top + windowHeight - 1, originX, originY};
        return make_object<CDataTypeImage>(ImageGeometry{width, height, planes, pixelDataType}, window).release();
    });
}

// The image data type behind t, or the given failure for a vector data type.
CDataTypeImage& image_type(ITavDataType& type, int32_t code) {
    auto* image = dynamic_cast<CDataTypeImage*>(&type);
    if (image == nullptr)
        frame::fail(code);
    return *image;
}

} // namespace

extern "C" {

TAVDATATYPE TavCreateDataTypeImage(int32_t width, int32_t height, int32_t planes, uint32_t pixelDataType,
                                   int32_t left, int32_t top, int32_t windowWidth, int32_t windowHeight,
                                   int32_t originX, int32_t originY) {
    return create_image_type(width, height, planes, pixelDataType, left, top, windowWidth, windowHeight, originX,
                             originY);
}

TAVDATATYPE TavCreateDataTypeImageEx(int32_t width, int32_t height, int32_t planes, uint32_t pixelDataType,
                                     int32_t originX, int32_t originY) {
    return create_image_type(width, height, planes, pixelDataType, 0, 0, width, height, originX, originY);
}

TAVDATATYPE TavCreateDataTypeFloatVector(int32_t dimension) {
    return frame::handle("TavCreateDataTypeFloatVector", [&](frame::Call&) {
        if (dimension < 1)
            frame::fail(ErrInvalidValue);
        return make_object<CDataTypeFloat32Vector>(dimension).release();
    });
}

int32_t TavCompareDataTypes(TAVDATATYPE a, TAVDATATYPE b) {
    return frame::status("TavCompareDataTypes", [&](frame::Call& call) {
        auto& first = call.take<ITavDataType>(a);
        auto& second = call.take<ITavDataType>(b);
        return first.Compare(second);
    });
}

int32_t TavGetFeatureWindow(TAVDATATYPE t, int32_t* left, int32_t* top, int32_t* width, int32_t* height,
                            int32_t* originX, int32_t* originY) {
    return frame::status("TavGetFeatureWindow", [&](frame::Call& call) {
        auto& type = image_type(call.take<ITavDataType>(t), ErrInvalidArgument);
        // Every out pointer is tested before any is written.
        auto& l = frame::out(left);
        auto& tp = frame::out(top);
        auto& w = frame::out(width);
        auto& h = frame::out(height);
        auto& ox = frame::out(originX);
        auto& oy = frame::out(originY);
        l = type.WindowLeft();
        tp = type.WindowTop();
        w = type.WindowWidth();
        h = type.WindowHeight();
        ox = type.OriginX();
        oy = type.OriginY();
    });
}

int32_t TavSetFeatureWindow(TAVDATATYPE t, int32_t left, int32_t top, int32_t width, int32_t height,
                            int32_t originX, int32_t originY) {
    return frame::status("TavSetFeatureWindow", [&](frame::Call& call) {
        auto& type = image_type(call.take<ITavDataType>(t), ErrInvalidArgument);
        // Corners in 64 bits so that int32 extremes cannot wrap. right > left
        // and bottom > top refuse a window one pixel wide or high.
        const int64_t right = int64_t{left} + width - 1;
        const int64_t bottom = int64_t{top} + height - 1;
        const bool accepted = right > left && bottom > top && left >= 0 && top >= 0 && right < type.Width() &&
                              bottom < type.Height() && originX >= 0 && originY >= 0 && originX <= right - left &&
                              originY <= bottom - top;
        if (!accepted)
            frame::fail(ErrInvalidArgument);
        const FeatureWindow window{left, top, static_cast<int32_t>(right), static_cast<int32_t>(bottom), originX,
                                   originY};
        if (!type.SetWindow(window))
            frame::fail(ErrInvalidArgument);
    });
}

int32_t TavGetImageDataGeometry(TAVDATATYPE t, int32_t* width, int32_t* height, int32_t* planes,
                                uint32_t* pixelDataType) {
    return frame::status("TavGetImageDataGeometry", [&](frame::Call& call) {
        auto& type = image_type(call.take<ITavDataType>(t), ErrIncompatible);
        auto& w = frame::out(width);
        auto& h = frame::out(height);
        auto& p = frame::out(planes);
        auto& d = frame::out(pixelDataType);
        w = type.Width();
        h = type.Height();
        p = type.Planes();
        d = type.PixelDataType();
    });
}

int32_t TavGetFringes(TAVDATATYPE t, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom) {
    return frame::status("TavGetFringes", [&](frame::Call& call) {
        auto& type = image_type(call.take<ITavDataType>(t), ErrIncompatible);
        auto& l = frame::out(left);
        auto& tp = frame::out(top);
        auto& r = frame::out(right);
        auto& b = frame::out(bottom);
        const Fringes fringes = type.GetFringes();
        l = fringes.left;
        tp = fringes.top;
        r = fringes.right;
        b = fringes.bottom;
    });
}

int32_t TavGetFloatVectorDataDim(TAVDATATYPE t, uint64_t* dimension) {
    return frame::status("TavGetFloatVectorDataDim", [&](frame::Call& call) {
        auto* type = dynamic_cast<CDataTypeFloat32Vector*>(&call.take<ITavDataType>(t));
        if (type == nullptr)
            frame::fail(ErrIncompatible);
        frame::out(dimension) = static_cast<uint64_t>(int64_t{type->Dimension()});
    });
}

} // extern "C"
