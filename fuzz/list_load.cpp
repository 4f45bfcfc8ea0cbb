// Loads a list from arbitrary bytes held in memory. A load may only succeed or
// fail with one of its two codes; a list it accepts must store again, and the
// stored file must load and store to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "tav/frame/error_codes.hpp"
#include "tav/list/sample_image_list_base.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/store/list_load.hpp"
#include "tav/store/list_store.hpp"

using namespace Korvu2::TAV;

namespace {

// The bytes the loaded list stores to, written without the replacement of a
// file and its flush to the device, which the layout does not depend on.
std::string stored(const SharedHandle<Objects::ITav>& list) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("list_load_" + std::to_string(::getpid()) + ".tav")).string();
    vxIO::xriff_ofstream writer;
    writer.open(path, store::kFileName);
    store::write_list(writer, Objects::AsList(*list));
    writer.close();
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    store::LoadResult result = store::load_list_bytes(std::string(reinterpret_cast<const char*>(data), size));
    if (result.code != 0) {
        if ((result.code != ErrFile && result.code != ErrInvalidOperation) || result.list)
            std::abort();
        return 0;
    }
    if (!result.list)
        std::abort();
    // A device is written in place: the whole store runs, nothing is kept.
    if (store::store_list_file(Objects::AsList(*result.list), "/dev/null") != 0)
        std::abort();
    const std::string first = stored(result.list);
    store::LoadResult again = store::load_list_bytes(first);
    if (again.code != 0 || !again.list || stored(again.list) != first)
        std::abort();
    return 0;
}
