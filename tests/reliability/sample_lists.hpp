#pragma once
// Lists for the reliability tests, a scratch folder, and a list's stored bytes
// as the fingerprint that shows whether it changed.
#include <tav/tav.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace reliability {

class ScratchDir {
public:
    explicit ScratchDir(const std::string& name,
                        const std::filesystem::path& base = std::filesystem::temp_directory_path())
        : path_(base / (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Memory-backed where there is such a folder: the flushes every store makes
// to the disk cost nothing there, so that a test can store many times.
inline std::filesystem::path MemoryFolder() {
    return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path();
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The list holds references of its own to the types it is made with.
inline TAV ListOf(TAVLABELTYPE labelType, TAVDATATYPE dataType) {
    TAV list = TavCreate(labelType, dataType);
    ZtRelease(labelType);
    ZtRelease(dataType);
    return list;
}

// `items` w x h 8-bit images under `labels` string labels ("class 0", ...),
// pixels drawn from `seed`; 0 if any step fails.
inline TAV ImageList(int items, int labels, int w, int h, int seed) {
    TAV list = ListOf(TavCreateLabelTypeString(), TavCreateDataTypeImage(w, h, 1, ZT_DT_U8, 0, 0, w, h, 0, 0));
    for (int i = 0; list != 0 && i < items; ++i) {
        ZTIMAGE image = ZtImageCreate(w, h, 1, ZT_DT_U8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ZtImageSetPixel(image, 0, x, y, (x * 7 + y * 13 + i + seed) % 256);
        const std::string name = "class " + std::to_string(i % labels);
        const int32_t rc = TavAddNamedImageItem(list, name.c_str(), image, 0, 0);
        ZtRelease(image);
        if (rc != 0) {
            ZtRelease(list);
            list = 0;
        }
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
