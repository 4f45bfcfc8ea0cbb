#pragma once
// Helpers of the store tests: lists made in memory, scratch folders, files.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tav/frame/make_object.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/label_string.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/store/list_store.hpp"

namespace store_test {

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

// A fresh folder, on disk or in memory, removed with everything in it when
// the object goes.
class TempDir {
public:
    explicit TempDir(bool in_memory = false) {
        std::error_code ec;
        const auto base = in_memory && std::filesystem::is_directory("/dev/shm", ec)
                              ? std::filesystem::path("/dev/shm")
                              : std::filesystem::temp_directory_path();
        std::string pattern = (base / "tav_store_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            out.insert(e.path().filename().string());
        return out;
    }

private:
    std::filesystem::path path_;
};

inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

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
