// Storing a list in a file.
#include <cstdint>
#include <string>

#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/list/sample_image_list_base.hpp"
#include "tav/port/paths.hpp"
#include "tav/store/list_store.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

// Both functions report every failure of the store under this name.
constexpr const char* kStoreNative = "TavStore_native";

void store_native(TAV list, const std::string& fsPath) {
    const auto held = SharedHandle<ITav>::from_handle(list);
    auto* concrete = dynamic_cast<CSampleImageListBase*>(held.get());
    if (concrete == nullptr)
        frame::fail(ErrInvalidArgument, nullptr, kStoreNative);
    if (const int32_t code = store::store_list_file(*concrete, fsPath))
        frame::fail(code, nullptr, kStoreNative);
}

} // namespace

extern "C" {

int32_t TavStore(TAV list, const char* path) {
    return frame::status("TavStore", [&](frame::Call&) { store_native(list, port::narrow_path_to_fs(path)); });
}

int32_t TavStoreW(TAV list, const char16_t* path) {
    return frame::status("TavStoreW", [&](frame::Call&) { store_native(list, port::wide_path_to_fs(path)); });
}

} // extern "C"
