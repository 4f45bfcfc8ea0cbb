#pragma once
// Helpers of the store tests: lists made in memory and the bytes they write.
#include <string>
#include <vector>

#include "support/temp_dir.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/label_string.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/store/list_store.hpp"

namespace store_test {

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;
using namespace tav_test;

inline void add(SharedHandle<ITav>& list, std::vector<float> values, const std::string& label) {
    auto data = make_object<CDataFloat32Vector>(std::move(values));
    AsList(*list).AddItem(*data, *make_object<CLabelString>(label));
}

// A list of string labels and vector data of dimension 2 with `items` items.
inline SharedHandle<ITav> list_of(std::size_t items, int32_t dimension = 2) {
    auto list = make_list(make_object<CLabelTypeString>(), make_object<CDataTypeFloat32Vector>(dimension));
    for (std::size_t i = 0; i < items; ++i)
        add(list, std::vector<float>(dimension, float(i)), "label " + std::to_string(i % 7));
    return list;
}

// Times that no clock gives by chance.
inline constexpr SYSTEMTIME kCreated{2021, 3, 2, 9, 8, 7, 6, 5};
inline constexpr SYSTEMTIME kModified{2022, 4, 5, 10, 11, 12, 13, 14};

// The bytes write_list gives, without the replacement of a file (and its
// flush to the device), which a test of the layout does not need.
inline std::string written(const SharedHandle<ITav>& list) {
    static const TempDir dir(true);
    const std::string path = dir.file("written.tav");
    vxIO::xriff_ofstream writer;
    writer.open(path, store::kFileName);
    store::write_list(writer, AsList(*list));
    writer.close();
    return read_bytes(path);
}

} // namespace store_test
