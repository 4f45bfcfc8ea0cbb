// Imports arbitrary bytes as a version-1 list file through the exported
// function, which reads from a path; every list made is released again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <tav/tav.h>

namespace {

const std::string& InputPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("tav-fuzz-korvu1-" + std::to_string(getpid()) + ".sil")).string();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = InputPath();
    // A new file each time: truncating a written one makes some file systems
    // flush it at close.
    std::remove(path.c_str());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written)
        return 0;

    TAV list = 0;
    if (TavImportFromKorvu(path.c_str(), &list) == 0 && list != 0) {
        TavGetNumDataEntries(list);
        ZtRelease(list);
    }
    return 0;
}
