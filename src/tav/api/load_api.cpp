// Loading a list from a file.
#include <cstdint>
#include <string>

#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/port/paths.hpp"
#include "tav/store/list_load.hpp"

using namespace Korvu2::TAV;

namespace {

// Both functions report every failure of the load under this name.
constexpr const char* kLoadNative = "TavLoad_native";

// The out variable is written only on success.
void load_native(const std::string& fsPath, TAV& out) {
    store::LoadResult result = store::load_list_file(fsPath);
    if (result.code != 0)
        frame::fail(result.code, nullptr, kLoadNative);
    out = result.list.release();
}

} // namespace

extern "C" {

int32_t TavLoad(const char* path, TAV* list) {
    return frame::status("TavLoad", [&](frame::Call&) {
        TAV& out = frame::out(list);
        load_native(port::narrow_path_to_fs(path), out);
    });
}

int32_t TavLoadW(const char16_t* path, TAV* list) {
    return frame::status("TavLoadW", [&](frame::Call&) {
        TAV& out = frame::out(list);
        load_native(port::wide_path_to_fs(path), out);
    });
}

} // extern "C"
