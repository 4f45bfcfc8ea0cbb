#pragma once
// Builds version-1 sample image list files in memory for tests. Which optional
// records are written follows the version, as a reader must expect them.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <zt/ztcimg.h>

namespace tavtest {

struct Korvu1Sample {
    std::string image; // serialised image, empty for "no image"
    uint32_t firstWord = 0;
    uint32_t secondWord = 0;
    int32_t classIndex = 0;
};

struct Korvu1File {
    std::string header = "SAMPLEIMAGELIST                 "; // 32 bytes are written
    double version = 1.4;
    std::string description;
    // width, height, origin x, origin y, planes
    std::array<int32_t, 5> featureWindow{32, 32, 16, 16, 1};
    std::vector<std::string> classNames;
    uint32_t headerWord = 0;
    // rotation range, border x, border y
    std::array<int32_t, 3> limits{0, 0, 0};
    std::array<uint8_t, 12> secondRecord{};
    std::array<uint8_t, 12> extraRecord{}; // written from version 1.4 on
    std::string maskImage;                 // written from version 1.1 on; empty: size 0
    std::array<uint8_t, 4> options{};
    int32_t excludedClass = -1;            // written from version 1.2 on
    uint8_t reservedFill = 0;              // lets a test spot a misplaced sample count
    std::vector<Korvu1Sample> samples;
};

inline void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

inline void PutI32(std::string& out, int32_t v) { PutU32(out, static_cast<uint32_t>(v)); }

inline void PutBytes(std::string& out, const std::string& bytes) {
    PutU32(out, static_cast<uint32_t>(bytes.size()));
    out += bytes;
}

inline bool WritesRecordFrom(double version, double from) { return from - version <= 0x1p-51; }

inline std::string WriteKorvu1(const Korvu1File& file) {
    std::string out = file.header.substr(0, 32);
    out.resize(32, '\0');
    uint64_t bits;
    std::memcpy(&bits, &file.version, sizeof bits);
    PutU32(out, static_cast<uint32_t>(bits));
    PutU32(out, static_cast<uint32_t>(bits >> 32));
    PutBytes(out, file.description);
    for (int32_t v : file.featureWindow) PutI32(out, v);
    PutU32(out, static_cast<uint32_t>(file.classNames.size()));
    for (const std::string& name : file.classNames) PutBytes(out, name);
    PutU32(out, file.headerWord);
    for (int32_t v : file.limits) PutI32(out, v);
    out.append(file.secondRecord.begin(), file.secondRecord.end());
    if (WritesRecordFrom(file.version, 1.4)) out.append(file.extraRecord.begin(), file.extraRecord.end());
    if (WritesRecordFrom(file.version, 1.1)) PutBytes(out, file.maskImage);
    out.append(file.options.begin(), file.options.end());
    size_t reserved = 508;
    if (WritesRecordFrom(file.version, 1.2)) {
        PutI32(out, file.excludedClass);
        reserved = 504;
    }
    out.append(reserved, static_cast<char>(file.reservedFill));
    PutU32(out, static_cast<uint32_t>(file.samples.size()));
    for (const Korvu1Sample& s : file.samples) {
        PutBytes(out, s.image);
        PutU32(out, s.firstWord);
        PutU32(out, s.secondWord);
        PutI32(out, s.classIndex);
    }
    return out;
}

// A width x height image of one plane of `dataType` whose pixel (x, y) is
// (x + 3 y + seed) modulo 251, serialised as an image record holds it; empty
// on failure.
inline std::string TestImageBlob(int32_t width, int32_t height, uint32_t dataType = ZT_DT_U8, int32_t seed = 0) {
    const ZTIMAGE image = ZtImageCreate(width, height, 1, dataType);
    if (image == 0) return {};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) ZtImageSetPixel(image, 0, x, y, (x + 3 * y + seed) % 251);
    std::string bytes(ZtImageStoredSize(image), '\0');
    if (bytes.empty() || !ZtImageWriteToMemory(image, bytes.data(), bytes.size())) bytes.clear();
    ZtRelease(image);
    return bytes;
}

} // namespace tavtest
