// Imports arbitrary bytes as a version-1 list file through the exported
// function, which reads from a path; every list made is released again.
#include <cstddef>
#include <cstdint>
#include <string>

#include <tav/tav.h>

#include "input_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteInputFile("tav-fuzz-korvu1-", ".sil", data, size);
    if (path.empty())
        return 0;
    TAV list = 0;
    if (TavImportFromKorvu(path.c_str(), &list) == 0 && list != 0) {
        TavGetNumDataEntries(list);
        ZtRelease(list);
    }
    return 0;
}
