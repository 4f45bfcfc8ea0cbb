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
};

// `items` w x h 8-bit images under `labels` string labels ("class 0", ...)
// whose pixel (x, y) of item i is 7 x + 13 y + i + seed modulo 256; the
// caller releases the list.
inline TAV image_list(int items, int labels, int w, int h, int seed) {
    const TestList l(TavCreateDataTypeImage(w, h, 1, ZT_DT_U8, 0, 0, w, h, 0, 0));
    for (int i = 0; i < items; ++i) {
        ZTIMAGE image = ZtImageCreate(w, h, 1, ZT_DT_U8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ZtImageSetPixel(image, 0, x, y, (x * 7 + y * 13 + i + seed) % 256);
        TavAddNamedImageItem(l.list, ("class " + std::to_string(i % labels)).c_str(), image, 0, 0);
        ZtRelease(image);
    }
    return ZtAddRef(l.list), l.list;
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
