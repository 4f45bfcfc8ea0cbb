#pragma once
// The visitor that the version-1 list file reader drives: one operation per
// record of the file, called in file order. The reader knows nothing of lists.
#include <array>
#include <cstdint>
#include <string>

#include <zt/ztbase.h>
#include <zt/ztcimg.h>

namespace Korvu2::Korvu1 {

// Five i32 as stored: the feature window's size, the origin relative to the
// window's top-left corner, and the plane count.
struct FeatureWindowRecord {
    int32_t width = 0;
    int32_t height = 0;
    int32_t originX = 0;
    int32_t originY = 0;
    int32_t planes = 0;
};

// Three i32: rotation range in degrees and the two borders.
struct TransformLimitsRecord {
    int32_t rotationRange = 0;
    int32_t borderX = 0;
    int32_t borderY = 0;
};

// A 12-byte record that nothing interprets: 8 bytes and an i32, kept as read.
struct OpaqueRecord {
    std::array<uint8_t, 8> head{};
    int32_t tail = 0;
};

// An image handed to the visitor: the handle and its image interface, both
// empty when the record held no image. The reader owns the handle and
// releases it after the call; a visitor that keeps it takes a reference.
struct Korvu1Image {
    ZTIMAGE handle = 0;
    ZTK::IZtImage* image = nullptr;

    bool empty() const noexcept { return handle == 0 || image == nullptr; }
};

// The version test used for optional records: a version stored as the nearest
// double of 1.1 must count as at least 1.1.
inline bool VersionAtLeast(double stored, double wanted) noexcept {
    return wanted - stored <= 0x1p-51;
}

class Korvu1TAVBase {
public:
    // The declaration order is the slot order; keep it.
    virtual ~Korvu1TAVBase() = default;
    virtual bool IsVersionAtLeast(double version) const = 0;
    // A zero answer makes the reader report option bit 1 after the option bytes.
    virtual int32_t QueryOptionOne() const = 0;
    virtual double GetVersion() const = 0;
    // Texts arrive cut at their first zero byte, in the file's narrow encoding.
    virtual void OnClassName(const std::string& name) = 0;
    virtual void OnSample(int64_t classIndex, const Korvu1Image& image, uint32_t firstWord,
                          uint32_t secondWord) = 0;
    virtual void OnOption(uint32_t bit) = 0;
    // Never called by the reader; it only holds its place.
    virtual void OnUnused() {}
    virtual void OnExcludedClass(int32_t index) = 0;
    virtual void OnFeatureWindow(const FeatureWindowRecord& window) = 0;
    virtual void OnMaskImage(const Korvu1Image& mask) = 0;
    virtual void OnDescription(const std::string& text) = 0;
    virtual void OnExtraRecord(const OpaqueRecord& record) = 0;
    virtual void OnHeaderWord(uint32_t word) = 0;
    virtual void OnTransformLimits(const TransformLimitsRecord& limits) = 0;
    virtual void OnSecondRecord(const OpaqueRecord& record) = 0;
    // Called first of all; the version tests that follow rely on it.
    virtual void SetVersion(double version) = 0;
};

} // namespace Korvu2::Korvu1
