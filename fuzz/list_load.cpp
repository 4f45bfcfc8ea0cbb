// Loads a list from arbitrary bytes held in memory. A load may only succeed or
// fail with one of its two codes; a list it accepts must store again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tav/frame/error_codes.hpp"
#include "tav/list/sample_image_list_base.hpp"
#include "tav/store/list_load.hpp"
#include "tav/store/list_store.hpp"

using namespace Korvu2::TAV;

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
    return 0;
}
