// Image data: made from an area of the caller's image, read back as an image.
#include <array>
#include <cstdint>

#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/samples/data_image.hpp"
#include "tav/samples/image_ref.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

constexpr const char* kWindowOutside =
    "The input values lead to a feature window which is located partly outside the image";

// Takes over the reference an image function returned through out; a null
// image, a failed call or one without the image interface fails the call.
ImageRef made_image(int32_t result, ZTIMAGE out) {
    if (out == 0) {
        frame::fail(ErrFailure);
    }
    ImageRef image = ImageRef::adopt(out);
    if (result <= 0 || !image)
        frame::fail(ErrFailure);
    return image;
}

} // namespace

extern "C" {

TAVDATA TavCreateImageData(ZTIMAGE image, int32_t left, int32_t top, int32_t width, int32_t height) {
    return frame::handle("TavCreateImageData", [&](frame::Call&) {
        const ImageRef source = ImageRef::from_handle(image);
        if (!source)
            frame::fail(ErrInvalidImage);
        int32_t planes = 0, image_width = 0, image_height = 0;
        if (source->GetDimension(&planes, &image_width, &image_height) < 0)
            frame::fail(ErrFailure);
        // In 64 bits: left + width must not wrap around.
        if (left < 0 || top < 0 || int64_t{left} + width > image_width || int64_t{top} + height > image_height)
            frame::fail(ErrInvalidValue, kWindowOutside);

        ZTIMAGE area_handle = 0;
        const int32_t mapped = ZtImageMapArea(source.handle(), left, top, left + width - 1, top + height - 1, width,
                                              height, &area_handle);
        const ImageRef area = made_image(mapped, area_handle);
        std::array<unsigned char, 48> coordinates{};
        ZtImageDefaultCoordinateSystem(coordinates.data());
        (void)area->SetCoordinateSystem(coordinates.data());

        // An area of the same size is a view sharing the caller's pixels: the
        // sample keeps a copy of its own.
        ZTIMAGE copy_handle = 0;
        const int32_t copied = ZtImageCopy(area.handle(), &copy_handle);
        ImageRef copy = made_image(copied, copy_handle);
        try {
            return make_object<CDataImage>(std::move(copy)).release();
        } catch (...) {
            frame::fail(ErrOutOfMemory, kObjectCreationFailed);
        }
    });
}

int32_t TavGetImageData(TAVDATA data, ZTIMAGE* image) {
    return frame::status("TavGetImageData", [&](frame::Call& call) {
        auto* sample = dynamic_cast<CDataImage*>(&call.take<ITavData>(data));
        if (sample == nullptr)
            frame::fail(ErrIncompatible);
        // Borrowed: no reference for the caller.
        frame::out(image) = sample->Image();
    });
}

} // extern "C"
