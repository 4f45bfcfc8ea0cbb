#include "list_file.hpp"

#include <filesystem>

#include "failure.hpp"

namespace tavtool {

Owned load_list(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        throw Failure("cannot load '" + path + "': no such file");
    clear_library_error();
    Owned list;
    const int32_t status = TavLoad(path.c_str(), list.out());
    if (status == TAV_E_FILE)
        fail_library("cannot load '" + path + "': unreadable or damaged list file");
    if (status == TAV_E_INVALID_OPERATION)
        fail_library("cannot load '" + path + "': no list in the file (type descriptors missing or unknown)");
    if (status != 0 || !list)
        fail_library("cannot load '" + path + "'");
    return list;
}

void store_list(TAV list, const std::string& path) {
    clear_library_error();
    if (TavStore(list, path.c_str()) != 0)
        fail_library("cannot store '" + path + "'");
}

} // namespace tavtool
