#pragma once
// Lists, scratch folders, and stored bytes as the fingerprint of a list.
#include <tav/tav.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include <unistd.h>

namespace reliability {

// Memory-backed if possible: a store's flushes to the disk cost nothing there.
inline std::filesystem::path MemoryFolder() {
    return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path();
}

struct ScratchDir {
    explicit ScratchDir(const std::string& name, const std::filesystem::path& base = MemoryFolder())
        : path(base / (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    const std::filesystem::path path;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `items` w x h 8-bit images under `labels` string labels ("class 0", ...),
// pixels drawn from `seed`; 0 if any step fails.
inline TAV ImageList(int items, int labels, int w, int h, int seed) {
    TAVLABELTYPE labelType = TavCreateLabelTypeString();
    TAVDATATYPE dataType = TavCreateDataTypeImage(w, h, 1, ZT_DT_U8, 0, 0, w, h, 0, 0);
    TAV list = TavCreate(labelType, dataType); // holds references of its own to the types
    ZtRelease(labelType);
    ZtRelease(dataType);
    for (int i = 0; list != 0 && i < items; ++i) {
        ZTIMAGE image = ZtImageCreate(w, h, 1, ZT_DT_U8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ZtImageSetPixel(image, 0, x, y, (x * 7 + y * 13 + i + seed) % 256);
        const std::string name = "class " + std::to_string(i % labels);
        if (TavAddNamedImageItem(list, name.c_str(), image, 0, 0) != 0)
            ZtRelease(std::exchange(list, 0));
        ZtRelease(image);
    }
    return list;
}

// The bytes the list stores to, or "" if the store fails.
inline std::string StoredBytes(TAV list, const std::string& path) {
    if (TavStore(list, path.c_str()) != 0)
        return {};
    std::string bytes = ReadFile(path);
    std::filesystem::remove(path);
    return bytes;
}

} // namespace reliability
