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

namespace store_test {

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    // In memory, where the test may rely on nothing of a real disk.
    static std::filesystem::path memory_base() {
        std::error_code ec;
        return std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
    }

    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
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

inline SharedHandle<ITav> string_vector_list(int32_t dimension) {
    return make_list(make_object<CLabelTypeString>(), make_object<CDataTypeFloat32Vector>(dimension));
}

inline void add(SharedHandle<ITav>& list, std::vector<float> values, const std::string& label) {
    auto data = make_object<CDataFloat32Vector>(std::move(values));
    auto text = make_object<CLabelString>(label);
    AsList(*list).AddItem(*data, *text);
}

// Times that no clock gives by chance.
inline constexpr SYSTEMTIME kCreated{2021, 3, 2, 9, 8, 7, 6, 5};
inline constexpr SYSTEMTIME kModified{2022, 4, 5, 10, 11, 12, 13, 14};

} // namespace store_test
