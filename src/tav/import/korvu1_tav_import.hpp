#pragma once
// The visitor that turns a version-1 list file into a new list of string
// labels and image data. The list is made at the first sample, once every
// field it depends on (window, limits, classes, excluded class, mask) is known;
// every sample image is fitted to one target size.
#include <cstdint>
#include <string>
#include <vector>

#include <tav/tav.h>

#include "tav/frame/holders.hpp"
#include "tav/frame/interfaces.hpp"
#include "tav/import/korvu1_object.hpp"
#include "tav/import/korvu1_tav_base.hpp"
#include "tav/import/korvu1_target_size.hpp"

namespace Korvu2::Korvu1 {

class Korvu1TAVImport : public Korvu1TAVBase, public Korvu1Object {
public:
    Korvu1TAVImport() = default;
    Korvu1TAVImport(const Korvu1TAVImport&) = delete;
    Korvu1TAVImport& operator=(const Korvu1TAVImport&) = delete;
    ~Korvu1TAVImport() override = default;

    bool IsVersionAtLeast(double version) const override { return VersionAtLeast(version_, version); }
    int32_t QueryOptionOne() const override { return 1; }
    double GetVersion() const override { return version_; }
    void OnClassName(const std::string& name) override { AddClassName(name); }
    void OnSample(int64_t classIndex, const Korvu1Image& image, uint32_t firstWord, uint32_t secondWord) override;
    void OnOption(uint32_t) override {}
    void OnExcludedClass(int32_t index) override { excludedClass_ = index; }
    void OnFeatureWindow(const FeatureWindowRecord& window) override;
    void OnMaskImage(const Korvu1Image& mask) override;
    void OnDescription(const std::string& text) override { description_ = text; }
    void OnExtraRecord(const OpaqueRecord&) override {}
    void OnHeaderWord(uint32_t) override {}
    void OnTransformLimits(const TransformLimitsRecord& limits) override;
    void OnSecondRecord(const OpaqueRecord& record) override { secondRecord_ = record; }
    void SetVersion(double version) override { version_ = version; }

    // The list made so far (null before the first sample), with its
    // reference handed to the caller.
    ::TAV ReleaseList() noexcept { return list_.release(); }

private:
    void CreateList();
    // The image as W x H (itself, its centred cut, or scaled per axis), with
    // a reference; fails when the fitted images outgrow their allowance.
    ZTIMAGE FitImage(const Korvu1Image& image);

    double version_ = 0;
    Korvu2::TAV::SharedHandle<Korvu2::TAV::Objects::ITav> list_;
    WindowGeometry window_;
    int32_t planes_ = 0;
    std::string description_;
    int32_t excludedClass_ = -1;
    TransformLimitsRecord limits_;
    OpaqueRecord secondRecord_;
    std::vector<Korvu2::TAV::SharedHandle<Korvu2::TAV::Objects::ITavLabel>> classLabels_;
    TargetSize target_;
    // Mask data made before the list exists; applied when the list is made.
    Korvu2::TAV::SharedHandle<Korvu2::TAV::Objects::ITavData> pendingMask_;
    // Bytes of sample images read, and of fitted images made from them.
    uint64_t sourceBytes_ = 0;
    uint64_t fittedBytes_ = 0;
};

} // namespace Korvu2::Korvu1
