// Builds the xriff directory of arbitrary bytes held in memory, then reads
// every indexed payload. Only the library's own errors may come out, and every
// entry must lie inside the input and inside its composite.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tav/xriff/xriff_directory.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vxIO::xriff_directory dir;
    try {
        dir.open_memory(std::string(reinterpret_cast<const char*>(data), size));
        dir.read_header();
        dir.build();
    } catch (const std::xriff_io_error&) {
        return 0;
    }
    uint64_t previous_level = 0;
    bool previous_opens = false;
    for (auto it = dir.begin(); it != dir.end(); ++it) {
        const auto& e = *it;
        if (e.position > size || e.size > size - e.position)
            std::abort();
        // A level rises by one only right after a non-empty composite.
        if (e.level > previous_level + (previous_opens ? 1 : 0))
            std::abort();
        previous_level = e.level;
        previous_opens = e.type == vxIO::xriff_type::composite && e.size != 0;
        for (const auto& child : dir.children(it))
            if (child.position + child.size > e.position + e.size)
                std::abort();
        const auto payload = dir.read_payload(e);
        if (payload.size() != e.size || (e.size != 0 && std::memcmp(payload.data(), data + e.position, e.size) != 0))
            std::abort();
        if (dir.find(e.type, e.name) == dir.end())
            std::abort();
    }
    return 0;
}
