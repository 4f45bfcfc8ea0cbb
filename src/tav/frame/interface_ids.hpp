#pragma once
// The interface identifiers of library objects (the five of lists and their
// parts, and the list file reader's), registered with the base-object
// library when libtav is loaded and constant afterwards.
#include <cstdint>

namespace Korvu2::TAV {

enum class Family { List, Data, Label, DataType, LabelType, Reader };

// The identifier registered for a family's interface name.
uint64_t interface_id(Family family);

// Registers the names (once; later calls do nothing). Runs at load time;
// callable again so that code linked statically never sees a zero id.
void register_interfaces();

} // namespace Korvu2::TAV
