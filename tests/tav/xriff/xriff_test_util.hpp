#pragma once
// Helpers of the xriff tests: hand-built file images and scratch files.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>

namespace xriff_test {

// Bytes of a file image, built piece by piece.
struct bytes_builder {
    std::string bytes;

    bytes_builder& raw(std::string_view s) {
        bytes.append(s);
        return *this;
    }
    // A fixed field: text padded with NULs to n bytes.
    bytes_builder& field(std::string_view s, std::size_t n) {
        std::string f(s.substr(0, n));
        f.resize(n, '\0');
        return raw(f);
    }
    bytes_builder& u64(uint64_t v) {
        char b[8];
        std::memcpy(b, &v, 8);
        return raw(std::string_view(b, 8));
    }
    bytes_builder& header(std::string_view file_name = "test") {
        return raw("ZTKXRIFF        ").field(file_name, 16);
    }
    bytes_builder& chunk_header(std::string_view type, std::string_view name, uint64_t size) {
        return field(type, 8).field(name, 16).u64(size);
    }
    bytes_builder& chunk(std::string_view type, std::string_view name, std::string_view payload) {
        return chunk_header(type, name, payload.size()).raw(payload);
    }
};

inline std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file path in the temp directory, removed when the object goes.
class temp_path {
public:
    temp_path() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("tav_xriff_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".xrf");
    }
    ~temp_path() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace xriff_test
