// One-call adders: a sample made from raw inputs and added to a list. The
// data and label are made by the creating functions (which report their own
// failures) and released again; the list keeps clones.
#include <cstdint>
#include <utility>

#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/list/reported_steps.hpp"
#include "tav/types/data_type_image.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

constexpr const char* kInvalidList = "invalid TAV handle";

// The adders take no reference on the list: the caller's keeps it alive.
CSampleImageListBase& peek_list(frame::Call& call, TAV list) {
    return AsList(call.peek<ITav>(list, ErrInvalidArgument, kInvalidList));
}

template <class I>
SharedHandle<I> adopt_as(ZTHANDLE handle) {
    return SharedHandle<I>::adopt(handle, handle != 0 ? query_interface<I>(handle) : nullptr);
}

// Width and height of the list's image data type, read as
// TavGetImageDataGeometry would.
std::pair<int32_t, int32_t> image_size(const CSampleImageListBase& list) {
    const SharedHandle<ITavDataType> type = list.DataTypeHandle();
    if (!type)
        frame::fail(ErrInvalidArgument, nullptr, "TavGetImageDataGeometry");
    auto* image = type->TypeEnum() == 0 ? dynamic_cast<CDataTypeImage*>(type.get()) : nullptr;
    if (image == nullptr)
        frame::fail(ErrIncompatible, nullptr, "TavGetImageDataGeometry");
    return {image->Width(), image->Height()};
}

// The origin of the list's feature window, read as TavGetDataType and
// TavGetFeatureWindow would.
std::pair<int32_t, int32_t> window_origin(TAV list) {
    const auto type = SharedHandle<ITavDataType>::from_handle(TavGetDataType(list));
    auto* image = type && type->TypeEnum() == 0 ? dynamic_cast<CDataTypeImage*>(type.get()) : nullptr;
    if (image == nullptr)
        frame::fail(ErrInvalidArgument, nullptr, "TavGetFeatureWindow");
    return {image->OriginX(), image->OriginY()};
}

// 32-bit arithmetic that wraps instead of overflowing.
int32_t minus(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Takes over the data made, makes the label, adds both; TavAddItem's status
// is the adder's. The label is released before the data.
template <class MakeLabel>
int32_t add_made(CSampleImageListBase& list, ZTHANDLE madeData, MakeLabel&& makeLabel) {
    const SharedHandle<ITavData> data = adopt_as<ITavData>(madeData);
    if (!data)
        frame::fail(ErrFailure, "tav data creation failed");
    const SharedHandle<ITavLabel> label = adopt_as<ITavLabel>(makeLabel());
    if (!label)
        frame::fail(ErrFailure, "label creation failed");
    return AddItemAsExported(list, data, label);
}

// The cut-out has the full geometry of the list's data type, its top-left
// corner at (x, y).
template <class MakeLabel>
int32_t add_image_item(const char* adder, TAV list, ZTIMAGE image, int32_t x, int32_t y, MakeLabel&& makeLabel) {
    return frame::status(adder, [&](frame::Call& call) {
        auto& target = peek_list(call, list);
        const auto [width, height] = image_size(target);
        return add_made(target, TavCreateImageData(image, x, y, width, height), makeLabel);
    });
}

template <class MakeLabel>
int32_t add_vector_item(const char* adder, TAV list, const float* values, uint64_t count, MakeLabel&& makeLabel) {
    return frame::status(adder, [&](frame::Call& call) {
        auto& target = peek_list(call, list);
        return add_made(target, TavCreateVectorData(values, count), makeLabel);
    });
}

// The Ex adders shift (x, y) by the origin of the feature window, so that the
// point lands on the origin inside the cut-out; the window's own left and top
// are not subtracted.
template <class Add>
int32_t add_at_origin(const char* adder, TAV list, int32_t x, int32_t y, Add&& add) {
    return frame::status(adder, [&](frame::Call&) {
        const auto [originX, originY] = window_origin(list);
        return add(minus(x, originX), minus(y, originY));
    });
}

} // namespace

extern "C" {

int32_t TavAddNamedImageItem(TAV list, const char* name, ZTIMAGE image, int32_t x, int32_t y) {
    return add_image_item("TavAddNamedImageItem", list, image, x, y, [&] { return TavCreateStringLabel(name); });
}

int32_t TavAddNamedImageItemW(TAV list, const char16_t* name, ZTIMAGE image, int32_t x, int32_t y) {
    return add_image_item("TavAddNamedImageItemW", list, image, x, y, [&] { return TavCreateStringLabelW(name); });
}

int32_t TavAddNamedImageItemEx(TAV list, const char* name, ZTIMAGE image, int32_t x, int32_t y) {
    return add_at_origin("TavAddNamedImageItemEx", list, x, y, [&](int32_t left, int32_t top) {
        return TavAddNamedImageItem(list, name, image, left, top);
    });
}

int32_t TavAddNamedVectorItem(TAV list, const char* name, const float* values, uint64_t count) {
    return add_vector_item("TavAddNamedVectorItem", list, values, count, [&] { return TavCreateStringLabel(name); });
}

int32_t TavAddNamedVectorItemW(TAV list, const char16_t* name, const float* values, uint64_t count) {
    return add_vector_item("TavAddNamedVectorItemW", list, values, count,
                           [&] { return TavCreateStringLabelW(name); });
}

int32_t TavAddRegressionImageItem(TAV list, const float* labelValues, uint64_t labelCount, ZTIMAGE image, int32_t x,
                                  int32_t y) {
    return add_image_item("TavAddRegressionImageItem", list, image, x, y,
                          [&] { return TavCreateVectorLabel(labelValues, labelCount); });
}

int32_t TavAddRegressionImageItemEx(TAV list, const float* labelValues, uint64_t labelCount, ZTIMAGE image,
                                    int32_t x, int32_t y) {
    return add_at_origin("TavAddRegressionImageItemEx", list, x, y, [&](int32_t left, int32_t top) {
        return TavAddRegressionImageItem(list, labelValues, labelCount, image, left, top);
    });
}

int32_t TavAddRegressionVectorItem(TAV list, const float* labelValues, uint64_t labelCount, const float* dataValues,
                                   uint64_t dataCount) {
    return add_vector_item("TavAddRegressionVectorItem", list, dataValues, dataCount,
                           [&] { return TavCreateVectorLabel(labelValues, labelCount); });
}

} // extern "C"
