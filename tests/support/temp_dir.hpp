#pragma once
// Scratch folders and whole-file reads and writes for tests.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <unistd.h>

namespace tav_test {

// A fresh folder, on disk or in memory, removed with everything in it when
// the object goes.
class TempDir {
public:
    explicit TempDir(bool in_memory = false) : TempDir(in_memory && ::access("/dev/shm", W_OK) == 0
                                                          ? std::filesystem::path("/dev/shm")
                                                          : std::filesystem::temp_directory_path()) {}
    // In the given folder.
    explicit TempDir(const std::filesystem::path& base) {
        std::string pattern = (base / "tav_test_XXXXXX").string();
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

} // namespace tav_test
