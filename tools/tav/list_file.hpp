// Loading and storing list files, with the library's report as the message.
#pragma once

#include <string>

#include "handle.hpp"

namespace tavtool {

Owned load_list(const std::string& path);
void store_list(TAV list, const std::string& path);

} // namespace tavtool
