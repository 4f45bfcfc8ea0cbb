#include "tav/import/korvu1_tav_import.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "tav/frame/exceptions.hpp"
#include "tav/samples/image_ref.hpp"

namespace Korvu2::Korvu1 {
namespace {

using Korvu2::TAV::SharedHandle;
using Korvu2::TAV::query_interface;
namespace Objects = Korvu2::TAV::Objects;

constexpr uint32_t kCreateFailedCode = 1;
constexpr char kCreateFailed[] = "error while creating v2 tav";
constexpr uint32_t kPixelDataTypeU8 = 8;

// Scaling small samples up to the target size makes memory (and work) that
// the file does not hold. The fitted images may take this much, plus a
// multiple of the sample bytes read: a few bytes of file can never make
// gigabytes of pixels. The first 4 MiB are free, and any sample scaled by up
// to 256 in area (an 8 x 8 sample to 128 x 128) always fits.
constexpr uint64_t kFreeFittedBytes = uint64_t{4} << 20;
constexpr uint64_t kFittedGrowth = 256;

// Takes over the reference of a handle a creating function returned; empty
// for a null handle.
template <class I>
SharedHandle<I> Adopt(ZTHANDLE handle) {
    if (handle == 0)
        return {};
    I* object = query_interface<I>(handle);
    if (object == nullptr) {
        ZtRelease(handle);
        return {};
    }
    return SharedHandle<I>::adopt(handle, object);
}

uint64_t SaturatingMul(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<uint64_t>::max() : product;
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<uint64_t>::max() : sum;
}

// Bytes of one pixel over all planes of the image.
uint64_t PixelBytes(ZTK::IZtImage& image, int32_t planes) {
    uint64_t bytes = 0;
    for (int32_t plane = 0; plane < planes; ++plane) {
        uint32_t dataType = 0;
        if (image.GetPlaneDataType(plane, &dataType) < 0)
            throw std::runtime_error("unreadable plane");
        bytes += std::max<uint32_t>(1, ((dataType & 0xFF) + 7) / 8);
    }
    return bytes;
}

} // namespace

void Korvu1TAVImport::OnFeatureWindow(const FeatureWindowRecord& window) {
    window_ = {window.width, window.height, window.originX, window.originY};
    planes_ = window.planes;
}

void Korvu1TAVImport::OnTransformLimits(const TransformLimitsRecord& limits) {
    limits_ = limits;
    limits_.rotationRange = std::max(limits_.rotationRange, 0);
    // A negative border shrinks the window by its size plus one instead.
    if (limits_.borderX < 0) {
        window_.width += int64_t{limits_.borderX} - 1;
        limits_.borderX = 0;
    }
    if (limits_.borderY < 0) {
        window_.height += int64_t{limits_.borderY} - 1;
        limits_.borderY = 0;
    }
}

void Korvu1TAVImport::OnMaskImage(const Korvu1Image& mask) {
    if (mask.empty())
        return;
    int32_t planes = 0, width = 0, height = 0;
    mask.image->GetDimension(&planes, &width, &height);
    auto data = Adopt<Objects::ITavData>(TavCreateImageData(mask.handle, 0, 0, width, height));
    // The list exists only from the first sample on, which follows the mask.
    if (list_)
        TavSetMaskData(list_.handle(), data.handle());
    else
        pendingMask_ = std::move(data);
}

void Korvu1TAVImport::OnSample(int64_t classIndex, const Korvu1Image& image, uint32_t, uint32_t) {
    if (classIndex < 0 || static_cast<uint64_t>(classIndex) >= ClassNames().size())
        throw std::out_of_range("class index outside the class table");
    // A record without a loadable image holds no sample.
    if (image.empty())
        return;
    if (!list_)
        CreateList();

    const auto fitted = Objects::ImageRef::adopt(FitImage(image));
    auto data = Adopt<Objects::ITavData>(TavCreateImageData(fitted.handle(), 0, 0, target_.width, target_.height));
    if (TavAddItem(list_.handle(), data.handle(), classLabels_[static_cast<size_t>(classIndex)].handle()) < 0)
        throw std::runtime_error("sample not added");
}

void Korvu1TAVImport::CreateList() {
    const auto target = ComputeTargetSize(window_, limits_.rotationRange, limits_.borderX, limits_.borderY);
    if (!target)
        throw ZtkException(kCreateFailedCode, kCreateFailed);

    // ComputeTargetSize checked that the window fits in 32 bits.
    const auto labelType = Adopt<Objects::ITavLabelType>(TavCreateLabelTypeString());
    const auto dataType = Adopt<Objects::ITavDataType>(TavCreateDataTypeImage(
        target->width, target->height, planes_, kPixelDataTypeU8, target->windowLeft, target->windowTop,
        static_cast<int32_t>(window_.width), static_cast<int32_t>(window_.height), static_cast<int32_t>(window_.originX),
        static_cast<int32_t>(window_.originY)));
    auto list = Adopt<Objects::ITav>(TavCreate(labelType.handle(), dataType.handle()));
    if (!list)
        throw ZtkException(kCreateFailedCode, kCreateFailed);

    std::vector<SharedHandle<Objects::ITavLabel>> labels;
    labels.reserve(ClassNames().size());
    for (size_t i = 0; i < ClassNames().size(); ++i)
        labels.push_back(Adopt<Objects::ITavLabel>(TavCreateStringLabel(ClassNameBytes(i).c_str())));

    // The list keeps clones of labels, and clones keep the flag: the list's
    // label of this class is excluded from its first item on.
    if (excludedClass_ >= 0 && static_cast<size_t>(excludedClass_) < labels.size())
        TavSetExcludedFlag(labels[static_cast<size_t>(excludedClass_)].handle(), 1);

    const std::string comment = "Imported from Korvu TAV '" + description_ + "'.";
    TavSetComment(list.handle(), comment.c_str());

    if (pendingMask_) {
        TavSetMaskData(list.handle(), pendingMask_.handle());
        pendingMask_.reset();
    }

    list_ = std::move(list);
    classLabels_ = std::move(labels);
    target_ = *target;
}

ZTIMAGE Korvu1TAVImport::FitImage(const Korvu1Image& image) {
    int32_t planes = 0, width = 0, height = 0;
    if (image.image->GetDimension(&planes, &width, &height) < 0 || width < 1 || height < 1 || planes < 1)
        throw std::runtime_error("unreadable sample image");
    const int32_t targetWidth = target_.width, targetHeight = target_.height;

    const uint64_t pixelBytes = PixelBytes(*image.image, planes);
    const uint64_t source = SaturatingMul(SaturatingMul(uint64_t(width), uint64_t(height)), pixelBytes);
    const uint64_t fitted =
        SaturatingMul(SaturatingMul(uint64_t(targetWidth), uint64_t(targetHeight)), pixelBytes);
    sourceBytes_ = SaturatingAdd(sourceBytes_, source);
    const uint64_t allowed = SaturatingAdd(kFreeFittedBytes, SaturatingMul(kFittedGrowth, sourceBytes_));
    if (fittedBytes_ > allowed || fitted > allowed - fittedBytes_)
        throw std::length_error("fitted samples exceed the memory the file justifies");
    fittedBytes_ += fitted;

    ZTIMAGE out = 0;
    if (width == targetWidth && height == targetHeight) {
        ZtAddRef(image.handle);
        return image.handle;
    }
    if (width >= targetWidth && height >= targetHeight) {
        const int32_t left = (width - targetWidth) / 2, top = (height - targetHeight) / 2;
        ZtImageMapArea(image.handle, left, top, left + targetWidth - 1, top + targetHeight - 1, targetWidth,
                       targetHeight, &out);
        return out;
    }
    const double matrix[4] = {static_cast<double>(targetWidth) / width, 0.0, 0.0,
                              static_cast<double>(targetHeight) / height};
    ZtImageTransformByMatrix(image.handle, matrix, &out);
    return out;
}

} // namespace Korvu2::Korvu1
