#pragma once
// The payload of one stored chunk as the loader hands it to a sample's
// constructor, and the error raised when those bytes cannot be a sample.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace Korvu2::TAV::Objects {

struct StoredPayload {
    const void* bytes = nullptr;
    uint64_t size = 0;
};

// The bytes of a chunk do not describe a sample of the class asked for
// (an empty text, a float array of a size not a multiple of 4, an image
// blob the image library rejects). The loader decides whether to skip the
// entry or reject the file.
class invalid_stored_form : public std::runtime_error {
public:
    explicit invalid_stored_form(const std::string& what) : std::runtime_error(what) {}
};

} // namespace Korvu2::TAV::Objects
