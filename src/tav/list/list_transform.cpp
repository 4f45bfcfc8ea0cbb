#include "tav/list/list_transform.hpp"

#include <limits>
#include <utility>

#include "tav/frame/call_frame.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/list/reported_steps.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/data_image.hpp"
#include "tav/samples/label_float32_vector.hpp"
#include "tav/samples/label_string.hpp"
#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"
#include "tav/types/label_type_float32_vector.hpp"
#include "tav/types/label_type_string.hpp"

namespace Korvu2::TAV::Objects {

namespace {

// Runs make in a frame named function; any exception from making the object
// is reported as resource exhaustion, as the creating functions do.
template <class I, class Make>
SharedHandle<I> create_as(const char* function, Make&& make) {
    SharedHandle<I> made;
    frame::status(function, [&](frame::Call&) {
        try {
            made = make();
        } catch (...) {
            frame::fail(ErrOutOfMemory, kObjectCreationFailed);
        }
    });
    return made;
}

// An element count as a type dimension: at least 1 and within int32.
template <class I, class Type>
SharedHandle<I> vector_type_as(const char* function, std::size_t count) {
    if (count < 1 || count > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        frame::report(ErrInvalidValue, nullptr, function);
        return {};
    }
    return create_as<I>(function, [&] { return SharedHandle<I>(make_object<Type>(static_cast<int32_t>(count))); });
}

// The caller's variable holds the new list from the moment it exists; unless
// the transform completes, the reference given to it is released again.
class NewList {
public:
    NewList(ZTHANDLE& out, SharedHandle<ITav> list) : out_(out), list_(std::move(list)) {
        if (!list_) {
            // No list: the caller gets none, and the transform fails at once
            // instead of failing every add.
            out_ = 0;
            frame::fail(ErrFailure);
        }
        ZtAddRef(list_.handle());
        out_ = list_.handle();
    }
    NewList(const NewList&) = delete;
    NewList& operator=(const NewList&) = delete;
    ~NewList() {
        if (!completed_ && out_ != 0)
            ZtRelease(std::exchange(out_, 0));
    }

    CSampleImageListBase& list() const { return AsList(*list_); }
    void complete() { completed_ = true; }

private:
    ZTHANDLE& out_;
    SharedHandle<ITav> list_;
    bool completed_ = false;
};

} // namespace

SharedHandle<ITavLabelType> LabelTypeFor(const ITavLabel& label) {
    if (dynamic_cast<const CLabelString*>(&label) != nullptr)
        return create_as<ITavLabelType>("TavCreateLabelTypeString",
                                        [] { return SharedHandle<ITavLabelType>(make_object<CLabelTypeString>()); });
    if (auto* vector = dynamic_cast<const CLabelFloat32Vector*>(&label))
        return vector_type_as<ITavLabelType, CLabelTypeFloat32Vector>("TavCreateLabelTypeFloatVector",
                                                                      vector->Values().size());
    return {};
}

SharedHandle<ITavDataType> DataTypeFor(const ITavData& data) {
    if (auto* vector = dynamic_cast<const CDataFloat32Vector*>(&data))
        return vector_type_as<ITavDataType, CDataTypeFloat32Vector>("TavCreateDataTypeFloatVector",
                                                                    vector->Values().size());
    auto* sample = dynamic_cast<const CDataImage*>(&data);
    if (sample == nullptr)
        return {};
    ZTK::IZtImage& image = sample->ImageInterface();
    int32_t planes = 0, width = 0, height = 0;
    if (image.GetDimension(&planes, &width, &height) < 0)
        return {};
    uint32_t first = 0;
    if (planes >= 1 && image.GetPlaneDataType(0, &first) < 0)
        return {};
    // Only the low bits name the data type; the rest are flags.
    const uint32_t mask = CDataTypeImage::kPixelDataTypeMask;
    for (int32_t p = 1; p < planes; ++p) {
        uint32_t word = 0;
        if (image.GetPlaneDataType(p, &word) < 0 || (word & mask) != (first & mask))
            return {};
    }
    if (width < 1 || height < 1 || planes < 1) {
        frame::report(ErrInvalidValue, nullptr, "TavCreateDataTypeImage");
        return {};
    }
    const ImageGeometry geometry{width, height, planes, first};
    const FeatureWindow window{0, 0, width - 1, height - 1, 0, 0};
    SharedHandle<ITavDataType> type;
    frame::status("TavCreateDataTypeImage",
                  [&](frame::Call&) { type = make_object<CDataTypeImage>(geometry, window); });
    return type;
}

// An item the target refuses is left out, as a single add would refuse it;
// running out of memory ends the transform, so that a list missing items is
// never handed back as a success.
void AddMappedItem(CSampleImageListBase& target, const SharedHandle<ITavData>& data,
                   const SharedHandle<ITavLabel>& label) {
    if (AddItemAsExported(target, data, label) == ErrOutOfMemory)
        frame::fail(ErrOutOfMemory);
}

void TransformLabels(CSampleImageListBase& source, const Mapping<ITavLabel>& map, ZTHANDLE& out,
                     const ListMaker& makeList) {
    if (source.LabelCount() < 1)
        frame::fail(ErrEmptyList);
    const SharedHandle<ITavLabel> firstSource = source.LabelAt(0);
    std::optional<SharedHandle<ITavLabel>> first = map(firstSource);
    if (!first)
        frame::fail(ErrFailure);
    SharedHandle<ITavLabelType> type = *first ? LabelTypeFor(**first) : SharedHandle<ITavLabelType>();
    if (!type)
        frame::fail(ErrIncompatible);
    NewList target(out, makeList(type, source.DataTypeHandle()));
    type.reset();

    // The count is read anew each time: the mapping may change the source.
    for (std::size_t i = 0; i < source.LabelCount(); ++i) {
        const SharedHandle<ITavLabel> label = i == 0 ? firstSource : source.LabelAt(i);
        SharedHandle<ITavLabel> mapped;
        if (i == 0) {
            mapped = std::move(*first);
        } else {
            std::optional<SharedHandle<ITavLabel>> result = map(label);
            if (!result)
                frame::fail(ErrFailure);
            mapped = std::move(*result);
        }
        for (std::size_t r = 0; r < label->DataReferences().size(); ++r)
            AddMappedItem(target.list(), DataReferenceAsExported(*label, r), mapped);
    }
    target.complete();
}

void TransformData(CSampleImageListBase& source, const Mapping<ITavData>& map, ZTHANDLE& out,
                   const ListMaker& makeList) {
    if (source.DataCount() < 1)
        frame::fail(ErrEmptyList);
    const SharedHandle<ITavData> firstSource = source.DataAt(0);
    std::optional<SharedHandle<ITavData>> first = map(firstSource);
    if (!first)
        frame::fail(ErrFailure);
    SharedHandle<ITavDataType> type = *first ? DataTypeFor(**first) : SharedHandle<ITavDataType>();
    if (!type)
        frame::fail(ErrIncompatible);
    NewList target(out, makeList(source.LabelTypeHandle(), type));
    type.reset();

    for (std::size_t i = 0; i < source.DataCount(); ++i) {
        const SharedHandle<ITavData> item = i == 0 ? firstSource : source.DataAt(i);
        SharedHandle<ITavData> mapped;
        if (i == 0) {
            mapped = std::move(*first);
        } else {
            std::optional<SharedHandle<ITavData>> result = map(item);
            if (!result)
                frame::fail(ErrFailure);
            mapped = std::move(*result);
        }
        AddMappedItem(target.list(), mapped, item->Label());
    }
    target.complete();
}

} // namespace Korvu2::TAV::Objects
