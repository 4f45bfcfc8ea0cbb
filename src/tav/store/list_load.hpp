#pragma once
// Loading a list from its xriff file.
#include <cstdint>
#include <string>

#include "tav/frame/interfaces.hpp"
#include "tav/xriff/xriff_directory.hpp"

namespace Korvu2::TAV::store {

// A new list with one reference, or the failure code (list empty):
// ErrFile for a file that cannot be read or is not a sound list file,
// ErrInvalidOperation for missing type chunks or unknown type enums.
struct LoadResult {
    int32_t code = 0;
    SharedHandle<Objects::ITav> list;
};

LoadResult load_list_file(const std::string& fs_path);
// The same from the bytes of a file.
LoadResult load_list_bytes(std::string bytes);

// Builds the list from an indexed file once its type chunks are known to
// hold enums 0 or 1. Raises on every fault of the file: std::xriff_io_error
// "Corrupt TAV file" for entries that do not make a sound list (a child of
// "TavData" or "TavLabels" that does not become an entry, a "LabelRefs" or
// "Excluded" chunk of a size that is not a whole number of its units, an
// index outside the entries, a data entry in more than one pair),
// std::runtime_error "Invalid type descriptors", and the xriff read errors.
SharedHandle<Objects::ITav> build_list(vxIO::xriff_directory& directory);

} // namespace Korvu2::TAV::store
