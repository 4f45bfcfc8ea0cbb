// Import of version-1 list files into new lists.
#include <cstdint>
#include <string>

#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/import/korvu1_reader.hpp"
#include "tav/import/korvu1_tav_import.hpp"
#include "tav/port/text_conversion.hpp"

using namespace Korvu2::TAV;
using Korvu2::Korvu1::Korvu1Reader;
using Korvu2::Korvu1::Korvu1TAVImport;

namespace {

constexpr char kNativeName[] = "TavImportFromKorvu_native";
constexpr uint32_t kFileErrorCode = 3;

// The common import: the import's own exceptions become codes here, reported
// under the native name. The out pointer is written on success only.
template <class PathOf>
int32_t import_native(PathOf&& path_of, TAV& out) noexcept {
    try {
        Korvu1TAVImport importer;
        Korvu1Reader::OpenAndRead(path_of(), importer);
        out = importer.ReleaseList();
        return 0;
    } catch (const ZtkException& e) {
        if (e.code() == 0)
            return 0;
        const int32_t code = static_cast<int32_t>(e.code() | 0x80000000u);
        frame::report(code, e.what(), kNativeName);
        return code;
    } catch (...) {
        frame::report(ErrFailure, "unexpected failure", kNativeName);
        return ErrFailure;
    }
}

} // namespace

extern "C" {

int32_t TavImportFromKorvu(const char* path, TAV* list) {
    return frame::status("TavImportFromKorvu", [&](frame::Call&) {
        auto& out = frame::out(list);
        return import_native(
            [&] {
                // Bytes the codeset cannot read would name some other file if
                // they were replaced: no such file is looked for.
                try {
                    return port::ansi_to_utf16(path, port::malformed_input::reject);
                } catch (const base2::character_conversion_error&) {
                    throw ZtkException(kFileErrorCode, "file not found");
                }
            },
            out);
    });
}

int32_t TavImportFromKorvuW(const char16_t* path, TAV* list) {
    return frame::status("TavImportFromKorvuW", [&](frame::Call&) {
        auto& out = frame::out(list);
        return import_native([&] { return path ? std::u16string(path) : std::u16string(); }, out);
    });
}

} // extern "C"
