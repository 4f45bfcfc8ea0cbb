// Reads arbitrary bytes as an image file through the `tav` tool's reader,
// which picks PNG or PGM/PPM by the contents and reads from a path.
#include <cstddef>
#include <cstdint>
#include <string>

#include "failure.hpp"
#include "image_file.hpp"
#include "input_file.hpp"

// Many runs free large buffers; ASan's default quarantine of 256 MB alone
// would pass the fuzzer's memory limit.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteInputFile("tav-fuzz-image-", "", data, size);
    if (path.empty())
        return 0;
    try {
        // Far fewer pixels than the tool allows, to stay within the fuzzer's memory.
        const tavtool::Raster r = tavtool::read_image_file(path, uint64_t{1} << 18);
        // Every sample the reader promises must be there.
        if (r.samples.size() != size_t(r.width) * size_t(r.height) * size_t(r.channels))
            __builtin_trap();
    } catch (const tavtool::Failure&) {
    }
    return 0;
}
