// Reads arbitrary bytes as an image file through the `tav` tool's reader,
// which picks PNG or PGM/PPM by the contents and reads from a path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "failure.hpp"
#include "image_file.hpp"

namespace {

const std::string& InputPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("tav-fuzz-image-" + std::to_string(getpid()))).string();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = InputPath();
    std::remove(path.c_str());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written)
        return 0;
    try {
        const tavtool::Raster r = tavtool::read_image_file(path);
        // Every sample the reader promises must be there.
        if (r.samples.size() != size_t(r.width) * size_t(r.height) * size_t(r.channels))
            __builtin_trap();
    } catch (const tavtool::Failure&) {
    }
    return 0;
}
