#pragma once
// Reads a version-1 sample image list file once, from start to end, and hands
// every record to a visitor.
#include <istream>
#include <string>

#include "tav/import/korvu1_tav_base.hpp"

namespace Korvu2::Korvu1 {

class Korvu1Reader {
public:
    // Throws std::runtime_error("no file name") for an empty path,
    // ZtkException(3, "file not found") for a path that does not exist, and
    // otherwise whatever Read throws.
    static void OpenAndRead(const std::u16string& path, Korvu1TAVBase& visitor);

    // Walks the records from the stream's current position. A wrong header
    // gives ZtkException(3, "specified file is not a Korvu 1 Sample Image List");
    // a short file, an unloadable length or a std::exception from the visitor
    // gives ZtkException(3, "end of file encountered before reading finished");
    // a ZtkException from the visitor passes unchanged.
    static void Read(std::istream& in, Korvu1TAVBase& visitor);
};

} // namespace Korvu2::Korvu1
