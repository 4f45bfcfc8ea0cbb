// Many items of a list at once: copied into a caller's buffer in the reader's
// layout, or added from one.
#include <bit>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

#include <tav/tav.h>

#include "tav/api/item_buffer.hpp"
#include "tav/frame/call_frame.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/frame/two_halves.hpp"
#include "tav/list/sample_image_list_base.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/data_image.hpp"
#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

// One item in a buffer: an image's interleaved samples or a vector's floats.
struct ItemForm {
    const CDataTypeImage* image = nullptr; // one of the two is set
    const CDataTypeFloat32Vector* vector = nullptr;
    std::size_t width = 0, height = 0, planes = 0;
    uint32_t word = 0;
    std::size_t element = sizeof(float); // bytes of one sample
    std::size_t dimension = 0;           // vector data
    uint64_t size = 0;                   // bytes of one item

    std::size_t pixels() const { return width * height; }
};

ItemForm form_of(const ITavDataType& type) {
    ItemForm f;
    if (auto* image = dynamic_cast<const CDataTypeImage*>(&type)) {
        f.image = image;
        f.width = static_cast<std::size_t>(image->Width());
        f.height = static_cast<std::size_t>(image->Height());
        f.planes = static_cast<std::size_t>(image->Planes());
        f.word = image->PixelDataType();
        const uint32_t bits = f.word & 0xFF;
        f.element = bits <= 8 ? 1 : bits <= 16 ? 2 : bits <= 32 ? 4 : 8;
        f.size = uint64_t{f.pixels()} * f.planes * f.element;
    } else if (auto* vector = dynamic_cast<const CDataTypeFloat32Vector*>(&type)) {
        f.vector = vector;
        f.dimension = static_cast<std::size_t>(vector->Dimension());
        f.size = uint64_t{f.dimension} * sizeof(float);
    } else {
        frame::fail(ErrIncompatible);
    }
    return f;
}

// Items 0 .. count-1, or the count items named by indices, must be items of
// a list of total.
void check_items(const int64_t* indices, int64_t count, std::size_t total) {
    if (count < 0)
        frame::fail(ErrInvalidArgument);
    if (indices == nullptr && static_cast<uint64_t>(count) > total)
        frame::fail(ErrIndexOutOfRange);
    for (int64_t k = 0; indices != nullptr && k < count; ++k)
        if (indices[k] < 0 || static_cast<uint64_t>(indices[k]) >= total)
            frame::fail(ErrIndexOutOfRange);
}

// Stored forms are little-endian; buffers are in native byte order.
void swap_to_native(uint8_t* samples, std::size_t count, std::size_t element) {
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < count; ++i)
            for (std::size_t a = 0, b = element - 1; a < b; ++a, --b)
                std::swap(samples[i * element + a], samples[i * element + b]);
    }
}

// Planar samples (plane by plane, rows back to back) to interleaved ones, or
// back; one copy when there is a single plane.
template <bool ToPlanar>
void reorder(const uint8_t* from, uint8_t* to, const ItemForm& f) {
    const std::size_t pixels = f.pixels(), e = f.element;
    if (f.planes == 1) {
        std::memcpy(to, from, pixels * e);
        return;
    }
    for (std::size_t p = 0; p < f.planes; ++p)
        for (std::size_t i = 0; i < pixels; ++i) {
            const std::size_t planar = (p * pixels + i) * e, interleaved = (i * f.planes + p) * e;
            if constexpr (ToPlanar)
                std::memcpy(to + planar, from + interleaved, e);
            else
                std::memcpy(to + interleaved, from + planar, e);
        }
}

// The header of an image's stored form, as the image library writes it.
constexpr std::size_t kStoredHeader = 24;

void put_word(uint8_t* at, uint32_t word) {
    for (int k = 0; k < 4; ++k)
        at[k] = static_cast<uint8_t>(word >> (8 * k));
}

// An image item's samples from a made image, addressed through its linear
// access tables.
void copy_from_image(const CDataImage& data, const ItemForm& f, uint8_t* out) {
    ZTK::IZtImage& image = data.ImageInterface();
    for (std::size_t p = 0; p < f.planes; ++p) {
        void* base = nullptr;
        const ZTK::ZtLinearEntry* table = nullptr;
        if (image.GetLinearAccess(static_cast<int32_t>(p), &base, &table) < 0 || base == nullptr || table == nullptr)
            frame::fail(ErrFailure, "an item's image cannot be read");
        const auto* start = static_cast<const uint8_t*>(base);
        bool rows = f.planes == 1;
        for (std::size_t x = 0; rows && x < f.width; ++x)
            rows = table[x].x == static_cast<int64_t>(x * f.element);
        if (rows) {
            for (std::size_t y = 0; y < f.height; ++y)
                std::memcpy(out + y * f.width * f.element, start + table[y].y, f.width * f.element);
            continue;
        }
        uint8_t* sample = out + p * f.element;
        for (std::size_t y = 0; y < f.height; ++y)
            for (std::size_t x = 0; x < f.width; ++x, sample += f.planes * f.element)
                std::memcpy(sample, start + table[y].y + table[x].x, f.element);
    }
}

// One item's samples into out (f.size bytes).
void copy_item(const ITavData& item, const ItemForm& f, uint8_t* out) {
    if (f.vector != nullptr) {
        auto* vector = dynamic_cast<const CDataFloat32Vector*>(&item);
        if (vector == nullptr || !vector->Fits(*f.vector))
            frame::fail(ErrIncompatible);
        std::memcpy(out, vector->Values().data(), f.size);
        return;
    }
    auto* image = dynamic_cast<const CDataImage*>(&item);
    if (image == nullptr || !image->Fits(*f.image))
        frame::fail(ErrIncompatible);
    if (const StoredPayload stored = image->StoredForm(); stored.bytes != nullptr) {
        // Fits() has checked the header: the planes follow its word table.
        reorder<false>(static_cast<const uint8_t*>(stored.bytes) + kStoredHeader + 4 * f.planes, out, f);
        swap_to_native(out, f.pixels() * f.planes, f.element);
        return;
    }
    copy_from_image(*image, f, out);
}

// An image item's stored form made from its interleaved samples, as the
// image library would write the image holding them.
void write_stored_form(const uint8_t* samples, const ItemForm& f, std::vector<uint8_t>& stored) {
    const std::size_t words = kStoredHeader + 4 * f.planes;
    stored.resize(words + f.size);
    static constexpr char kMagic[8] = {'Z', 'T', 'C', 'I', 'M', 'G', '\r', '\n'};
    std::memcpy(stored.data(), kMagic, sizeof kMagic);
    put_word(stored.data() + 8, 1);
    put_word(stored.data() + 12, static_cast<uint32_t>(f.width));
    put_word(stored.data() + 16, static_cast<uint32_t>(f.height));
    put_word(stored.data() + 20, static_cast<uint32_t>(f.planes));
    for (std::size_t p = 0; p < f.planes; ++p)
        put_word(stored.data() + kStoredHeader + 4 * p, f.word);
    reorder<true>(samples, stored.data() + words, f);
    swap_to_native(stored.data() + words, f.pixels() * f.planes, f.element);
}

// The items at rows first .. first + n - 1 of buffer, made in bulk (objects
// in shared slabs, handles in runs) into out[first ..]. Image items keep the
// stored form written here and make their images on first use, as loaded
// ones do.
void make_items(const uint8_t* buffer, std::size_t first, std::size_t n, const ItemForm& f,
                SharedHandle<ITavData>* out) {
    std::size_t made = first;
    auto keep = [&](auto item) { out[made++] = std::move(item); };
    if (f.vector != nullptr) {
        object_batch<CDataFloat32Vector, decltype(keep)> batch(n, keep);
        for (std::size_t i = first; i < first + n; ++i) {
            const auto* values = reinterpret_cast<const float*>(buffer + i * f.size);
            batch.add(std::vector<float>(values, values + f.dimension));
        }
        batch.finish();
        return;
    }
    object_batch<CDataImage, decltype(keep)> batch(n, keep);
    std::vector<uint8_t> stored;
    for (std::size_t i = first; i < first + n; ++i) {
        write_stored_form(buffer + i * f.size, f, stored);
        try {
            batch.add(StoredPayload{stored.data(), stored.size()});
        } catch (const invalid_stored_form&) {
            frame::fail(ErrIncompatible, "image samples outside the pixel type's range");
        }
    }
    batch.finish();
}

// count items made from buffer, on two threads for a large buffer.
std::vector<SharedHandle<ITavData>> make_items(const uint8_t* buffer, int64_t count, const ItemForm& f) {
    const auto n = static_cast<std::size_t>(count);
    std::vector<SharedHandle<ITavData>> items(n);
    in_two_halves(n, n * f.size, [&](std::size_t first, std::size_t span) {
        make_items(buffer, first, span, f, items.data());
    });
    return items;
}

} // namespace

extern "C" {

int32_t TavListReadItems(TAV list, const int64_t* indices, int64_t count, void* buffer, uint64_t bufferSize) {
    return frame::status("TavListReadItems", [&](frame::Call& call) {
        const CSampleImageListBase& source = AsList(call.take<ITav>(list));
        const ItemForm f = form_of(source.DataType());
        check_items(indices, count, source.DataCount());
        api::check_item_buffer(buffer, bufferSize, count, f.size);
        auto* out = static_cast<uint8_t*>(buffer);
        const auto n = static_cast<std::size_t>(count);
        in_two_halves(n, n * f.size, [&](std::size_t first, std::size_t span) {
            for (std::size_t k = first; k < first + span; ++k) {
                const auto index = static_cast<std::size_t>(indices != nullptr ? indices[k] : static_cast<int64_t>(k));
                copy_item(*source.DataAt(index), f, out + k * f.size);
            }
        });
    });
}

int32_t TavListGetItemLabels(TAV list, const int64_t* indices, int64_t count, int32_t* labelIndices) {
    return frame::status("TavListGetItemLabels", [&](frame::Call& call) {
        const CSampleImageListBase& source = AsList(call.take<ITav>(list));
        check_items(indices, count, source.DataCount());
        if (count > 0 && labelIndices == nullptr)
            frame::fail(ErrInvalidArgument);
        // Items link to the list's own label objects: a label's handle names its index.
        std::unordered_map<ZTHANDLE, int32_t> index_of;
        for (std::size_t l = 0; l < source.LabelCount(); ++l)
            index_of.emplace(source.LabelAt(l).handle(), static_cast<int32_t>(l));
        for (int64_t k = 0; k < count; ++k) {
            const auto index = static_cast<std::size_t>(indices != nullptr ? indices[k] : k);
            const auto found = index_of.find(source.DataAt(index)->LabelLink().handle());
            labelIndices[k] = found != index_of.end() ? found->second : -1;
        }
    });
}

int32_t TavAddItems(TAV list, const void* buffer, uint64_t bufferSize, int64_t count, const TAVLABEL* labels) {
    return frame::status("TavAddItems", [&](frame::Call& call) {
        CSampleImageListBase& target = AsList(call.take<ITav>(list));
        if (count < 0)
            frame::fail(ErrInvalidArgument);
        if (count == 0)
            return;
        if (labels == nullptr)
            frame::fail(ErrInvalidArgument);
        const ItemForm f = form_of(target.DataType());
        api::check_item_buffer(buffer, bufferSize, count, f.size);
        // Every label is checked, each handle once, before anything is made;
        // the caller's references keep them alive for the call.
        std::vector<const ITavLabel*> itemLabels(static_cast<std::size_t>(count));
        std::unordered_map<ZTHANDLE, const ITavLabel*> checked;
        for (std::size_t i = 0; i < itemLabels.size(); ++i) {
            auto [at, added] = checked.try_emplace(labels[i], nullptr);
            if (added) {
                const ITavLabel& label = call.peek<ITavLabel>(labels[i]);
                if (!label.VerifyCompatibility(target.LabelType()))
                    frame::fail(ErrIncompatible);
                at->second = &label;
            }
            itemLabels[i] = at->second;
        }
        std::vector<SharedHandle<ITavData>> items = make_items(static_cast<const uint8_t*>(buffer), count, f);

        target.AddMadeItems(items, itemLabels);
        target.Touch();
    });
}

} // extern "C"
