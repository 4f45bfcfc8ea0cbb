#pragma once
// For targets whose code under test reads from a path: the input written to a
// file of this process's own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace fuzz {

// The path (stem, process id, suffix) of the file now holding the input, or "" if it cannot be written.
inline std::string WriteInputFile(const char* stem, const char* suffix, const uint8_t* data, size_t size) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / (stem + std::to_string(getpid()) + suffix)).string();
    // A new file each time: truncating a written one makes some file systems
    // flush it at close.
    std::remove(path.c_str());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return {};
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written ? path : std::string();
}

} // namespace fuzz
