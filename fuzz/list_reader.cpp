// Opens a list file reader on arbitrary bytes and reads every item, one at a
// time and all at once. Opening and reading must accept exactly what the load
// accepts, and refuse the rest with the load's code.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tav/frame/error_codes.hpp"
#include "tav/store/list_file_reader.hpp"
#include "tav/store/list_load.hpp"
#include "tav/xriff/errors.hpp"

using namespace Korvu2::TAV;

namespace {

// Items taken on trust and settled must be the items of every header.
void expect_settled_as_walked(const store::ListFileReader& walked, int32_t walked_code,
                              const std::string& bytes) {
    store::ListFileReader settled;
    if (settled.settle(settled.open_bytes(bytes, true)) != walked_code)
        std::abort();
    if (walked_code != 0)
        return;
    if (settled.trusted() || settled.item_count() != walked.item_count())
        std::abort();
    for (std::size_t i = 0; i < walked.item_count(); ++i)
        if (settled.item_payload(i).position != walked.item_payload(i).position)
            std::abort();
}

// The reader's verdict: its open code, or ErrFile when an item read fails.
int32_t read_everything(const std::string& bytes) {
    store::ListFileReader reader;
    const int32_t code = reader.open_bytes(bytes);
    expect_settled_as_walked(reader, code, bytes);
    if (code != 0)
        return code;
    const std::size_t count = reader.item_count();
    // Every item's payload lies in the input, so the buffer is no larger.
    std::vector<uint8_t> all(reader.form().item_size * count);
    int32_t one_by_one = 0, at_once = 0;
    for (std::size_t i = 0; i < count && one_by_one == 0; ++i) {
        try {
            reader.read_range(i, 1, all.data() + i * reader.form().item_size);
        } catch (const std::xriff_io_error&) {
            one_by_one = ErrFile;
        }
    }
    try {
        reader.read_range(0, count, all.data());
    } catch (const std::xriff_io_error&) {
        at_once = ErrFile;
    }
    if (one_by_one != at_once)
        std::abort();
    return at_once;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (read_everything(bytes) != store::load_list_bytes(bytes).code)
        std::abort();
    return 0;
}
