#pragma once
// Loading a list from its xriff file: the list file reader indexes the file
// with every structural check, then the list is made from the index and the
// items' payloads.
#include <cstdint>
#include <string>

#include "tav/frame/interfaces.hpp"
#include "tav/store/list_file_reader.hpp"

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

// Makes the list of an opened reader: its types, times, labels (taken from
// the reader), mask and comment, every data item made from its payload and
// checked against the data type, and the links. Raises std::xriff_io_error
// "Corrupt TAV file" for an item that does not become data of the list's
// type, and the read errors of a file that has become shorter; empty when
// the types match no list form.
SharedHandle<Objects::ITav> materialise_list(ListFileReader& reader);

} // namespace Korvu2::TAV::store
