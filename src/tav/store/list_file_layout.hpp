#pragma once
// The names that tie the list file's chunks together: the store writes them,
// the load looks them up. The chunk order and the payloads live in
// list_store.cpp and list_load.cpp.
#include "tav/xriff/chunk_types.hpp"
#include "tav/xriff/fixed_string.hpp"

namespace Korvu2::TAV::store {

inline constexpr vxIO::xriff_fixed_string<16> kFileName{"KorvuTav"};

inline constexpr vxIO::xriff_fixed_string<16> kDataName{"TavData"};
inline constexpr vxIO::xriff_fixed_string<16> kLabelsName{"TavLabels"};
inline constexpr vxIO::xriff_fixed_string<16> kReferencesName{"LabelRefs"};
inline constexpr vxIO::xriff_fixed_string<16> kExcludedName{"Excluded"};
inline constexpr vxIO::xriff_fixed_string<16> kMaskName{"MaskData"};
inline constexpr vxIO::xriff_fixed_string<16> kInfoName{"TavInfo2"};
inline constexpr vxIO::xriff_fixed_string<16> kCreationTimeName{"CreationTime"};
inline constexpr vxIO::xriff_fixed_string<16> kModificationTimeName{"ModificationTime"};

// Raised inside the load for every structural fault of a list file.
inline constexpr const char* kCorruptFile = "Corrupt TAV file";

} // namespace Korvu2::TAV::store
