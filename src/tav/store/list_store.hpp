#pragma once
// Storing a list as one xriff file.
#include <cstdint>
#include <string>

#include "tav/list/sample_image_list_base.hpp"
#include "tav/xriff/xriff_ofstream.hpp"

namespace Korvu2::TAV::store {

// Writes every chunk of the list, in the file's order, after the header:
// "TavData" (the data entries), "TavLabels" (the label entries), "LabelRefs",
// "Excluded" (only when a label is excluded), "MaskData" (only with mask data)
// and "TavInfo2" (comment, creation and modification time, data type, label
// type). Changes nothing in the list.
void write_list(vxIO::xriff_ofstream& writer, const Objects::CSampleImageListBase& list);

// The whole store to a file name of the file system: 0, or ErrFile when the
// file cannot be written completely, in which case whatever stood at the path
// before is left as it was.
int32_t store_list_file(const Objects::CSampleImageListBase& list, const std::string& fs_path) noexcept;

} // namespace Korvu2::TAV::store
