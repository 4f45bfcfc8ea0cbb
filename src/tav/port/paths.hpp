#pragma once
// File names: the library's UTF-16 and narrow paths as the UTF-8 byte strings
// the file system takes, and the few file operations the store needs.
#include <string>
#include <string_view>

namespace Korvu2::TAV::port {

// A UTF-16 path as UTF-8. An unpaired surrogate keeps its own three-byte form
// rather than becoming U+FFFD, so two different paths never name one file.
// A null path is the empty path.
std::string wide_path_to_fs(std::u16string_view path);
std::string wide_path_to_fs(const char16_t* path);

// A narrow path (in the calling thread's codeset) through UTF-16 to UTF-8.
// Bytes that are not valid in the codeset raise
// base2::character_conversion_error instead of being replaced: a replaced
// name would denote some other file. A null path is the empty path.
std::string narrow_path_to_fs(std::string_view path);
std::string narrow_path_to_fs(const char* path);

// Removes the file; true when it was removed.
bool remove_file(const std::string& fs_path);

// Flushes a file's data to the device; true on success.
bool sync_file_descriptor(int fd);
bool sync_file(const std::string& fs_path);

// Flushes the directory holding fs_path, so that a newly made or removed
// entry survives a crash; true on success.
bool sync_parent_directory(const std::string& fs_path);

} // namespace Korvu2::TAV::port
