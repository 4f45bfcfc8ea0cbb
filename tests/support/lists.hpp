#pragma once
// Small lists built through the public functions, owning their handles, and
// the bytes a list stores to as its fingerprint.
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <tav/tav.h>

#include "support/temp_dir.hpp"

namespace tav_test {

// Releases the handles it is given when it goes.
struct Owned {
    std::vector<ZTHANDLE> handles;
    ZTHANDLE hold(ZTHANDLE h) {
        handles.push_back(h);
        return h;
    }
    ~Owned() {
        for (ZTHANDLE h : handles)
            if (h != 0)
                ZtRelease(h);
    }
};

// A list of the given types, string labels over one-element vectors unless
// told otherwise. The add functions release the objects they make again.
struct TestList {
    explicit TestList(TAVDATATYPE data = TavCreateDataTypeFloatVector(1), TAVLABELTYPE labels = TavCreateLabelTypeString())
        : labelType(labels), dataType(data), list(TavCreate(labels, data)) {}
    // Items (label text, value) added in order.
    explicit TestList(std::initializer_list<std::pair<const char*, float>> items) : TestList() {
        for (auto [text, value] : items)
            add(text, value);
    }
    TAVLABELTYPE labelType;
    TAVDATATYPE dataType;
    TAV list;
    Owned owned{{list, labelType, dataType}};

    int32_t add(const char* text, float value) const {
        TAVLABEL label = TavCreateStringLabel(text);
        TAVDATA data = TavCreateVectorData(&value, 1);
        const int32_t status = TavAddItem(list, data, label);
        ZtRelease(label);
        ZtRelease(data);
        return status;
    }
    int32_t add(std::vector<float> label, float value) const {
        return TavAddRegressionVectorItem(list, label.data(), label.size(), &value, 1);
    }
    // An image of the data type's size whose pixel (x, y) is 7 x + 13 y + seed
    // modulo 256.
    int32_t add_image(const char* text, int seed) const {
        int32_t w = 0, h = 0, planes = 0;
        uint32_t pixel = 0;
        TavGetImageDataGeometry(dataType, &w, &h, &planes, &pixel);
        ZTIMAGE image = ZtImageCreate(w, h, 1, ZT_DT_U8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ZtImageSetPixel(image, 0, x, y, (x * 7 + y * 13 + seed) % 256);
        const int32_t status = TavAddNamedImageItem(list, text, image, 0, 0);
        ZtRelease(image);
        return status;
    }
    // A new reference to the list, for a caller that releases it itself.
    TAV share() const { return ZtAddRef(list), list; }
};

// `items` w x h 8-bit images under `labels` string labels ("class 0", ...),
// pixels drawn from `seed`; the caller releases it.
inline TAV image_list(int items, int labels, int w, int h, int seed) {
    const TestList l(TavCreateDataTypeImage(w, h, 1, ZT_DT_U8, 0, 0, w, h, 0, 0));
    for (int i = 0; i < items; ++i)
        l.add_image(("class " + std::to_string(i % labels)).c_str(), i + seed);
    return l.share();
}

// The bytes the list stores to, or "" if the store fails.
inline std::string stored_bytes(TAV list, const std::string& path) {
    if (TavStore(list, path.c_str()) != 0)
        return {};
    std::string bytes = read_bytes(path);
    std::filesystem::remove(path);
    return bytes;
}

} // namespace tav_test
