// Reads arbitrary bytes as a JPEG file through the `tav` tool's reader, which
// must fail cleanly on anything libjpeg refuses and bound its work.
#include <cstddef>
#include <cstdint>
#include <string>

#include "failure.hpp"
#include "input_file.hpp"
#include "jpeg_file.hpp"

// Each run frees many small blocks of libjpeg's pools; ASan's default
// quarantine of 256 MB alone would pass the fuzzer's memory limit.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteInputFile("tav-fuzz-jpeg-", ".jpg", data, size);
    if (path.empty())
        return 0;
    try {
        // Far fewer pixels than the tool allows, to stay within the fuzzer's memory.
        const tavtool::Raster r = tavtool::read_jpeg(path, uint64_t{1} << 18);
        if ((r.channels != 1 && r.channels != 3) ||
            r.samples.size() != size_t(r.width) * size_t(r.height) * size_t(r.channels))
            __builtin_trap();
    } catch (const tavtool::Failure&) {
    }
    return 0;
}
