#pragma once
// List files written by hand, chunk by chunk, so that tests can state the
// exact bytes a store must produce and make the faulty files a load must
// refuse.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tav_test {

// One chunk; a composite's payload is made of its children.
struct FileChunk {
    std::string type;     // padded with NULs to 8 bytes
    std::string name;     // padded with NULs to 16 bytes
    std::string payload;  // ignored for composites
    std::vector<FileChunk> children;
    bool composite = false;
};

inline std::string fixed(std::string_view text, std::size_t n) {
    std::string f(text.substr(0, n));
    f.resize(n, '\0');
    return f;
}

// Values as little-endian bytes of their width.
template <class T>
std::string le_bytes(std::initializer_list<T> values) {
    std::string out;
    for (T v : values) {
        uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof v);
        for (std::size_t i = 0; i < sizeof v; ++i)
            out += static_cast<char>(bits >> (8 * i) & 0xFF);
    }
    return out;
}
inline std::string u16s(std::initializer_list<uint16_t> values) { return le_bytes(values); }
inline std::string u32s(std::initializer_list<uint32_t> values) { return le_bytes(values); }
inline std::string u64le(uint64_t v) { return le_bytes({v}); }
inline std::string f32s(std::initializer_list<float> values) { return le_bytes(values); }

inline FileChunk leaf(std::string type, std::string name, std::string payload) {
    return FileChunk{std::move(type), std::move(name), std::move(payload), {}, false};
}

inline FileChunk composite(std::string name, std::vector<FileChunk> children) {
    return FileChunk{"COMPOSIT", std::move(name), {}, std::move(children), true};
}

inline std::string serialize(const FileChunk& chunk) {
    std::string payload;
    if (chunk.composite)
        for (const FileChunk& child : chunk.children)
            payload += serialize(child);
    else
        payload = chunk.payload;
    return fixed(chunk.type, 8) + fixed(chunk.name, 16) + u64le(payload.size()) + payload;
}

inline std::string list_file(const std::vector<FileChunk>& chunks) {
    std::string out = std::string("ZTKXRIFF        ") + fixed("KorvuTav", 16);
    for (const FileChunk& chunk : chunks)
        out += serialize(chunk);
    return out;
}

// "TavInfo2" with the comment, two times (year, month, day of week, day,
// hour, minute, second, ms) and the two type descriptors.
inline FileChunk info(std::string comment, std::string dataType, std::string labelType) {
    return composite("TavInfo2", {leaf("TXTUTF8 ", "", std::move(comment)),
                                  leaf(std::string("SYSTIME\0", 8), "CreationTime", u16s({2021, 3, 2, 9, 8, 7, 6, 5})),
                                  leaf(std::string("SYSTIME\0", 8), "ModificationTime",
                                       u16s({2022, 4, 5, 10, 11, 12, 13, 14})),
                                  leaf("DATATYPE", "", std::move(dataType)),
                                  leaf(std::string("LBLTYPE\0", 8), "", std::move(labelType))});
}

// A sound file: string labels "a" and "b", three vector data of dimension 2
// (data 0 and 2 carry "b", data 1 carries "a"), "b" excluded, a mask vector,
// the comment "note".
inline std::vector<FileChunk> sample_string_vector_file() {
    return {composite("TavData", {leaf("ARRYFL32", "", f32s({1, 2})), leaf("ARRYFL32", "", f32s({3, 4})),
                                  leaf("ARRYFL32", "", f32s({5, 6}))}),
            composite("TavLabels", {leaf("TXTUTF8 ", "", "a"), leaf("TXTUTF8 ", "", "b")}),
            leaf("ARRYU32 ", "LabelRefs", u32s({0, 1, 1, 0, 1, 2})),
            leaf("ARRYU32 ", "Excluded", u32s({1})),
            leaf("ARRYFL32", "MaskData", f32s({0.5f, -0.5f})),
            info("note", u32s({1, 2}), u32s({0}))};
}

// The top-level chunk of that name, or null.
inline FileChunk* chunk_named(std::vector<FileChunk>& chunks, std::string_view name) {
    for (FileChunk& c : chunks)
        if (c.name == name)
            return &c;
    return nullptr;
}

} // namespace tav_test
