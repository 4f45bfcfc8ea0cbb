// Feeds arbitrary bytes to the version-1 list file reader through a visitor
// that ignores every record; images stay owned by the reader.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "tav/frame/exceptions.hpp"
#include "tav/import/korvu1_reader.hpp"

namespace {

using namespace Korvu2::Korvu1;

class IgnoringVisitor : public Korvu1TAVBase {
public:
    bool IsVersionAtLeast(double v) const override { return VersionAtLeast(version_, v); }
    int32_t QueryOptionOne() const override { return 0; }
    double GetVersion() const override { return version_; }
    void OnClassName(const std::string&) override {}
    void OnSample(int64_t, const Korvu1Image& image, uint32_t, uint32_t) override { Touch(image); }
    void OnOption(uint32_t) override {}
    void OnExcludedClass(int32_t) override {}
    void OnFeatureWindow(const FeatureWindowRecord&) override {}
    void OnMaskImage(const Korvu1Image& mask) override { Touch(mask); }
    void OnDescription(const std::string&) override {}
    void OnExtraRecord(const OpaqueRecord&) override {}
    void OnHeaderWord(uint32_t) override {}
    void OnTransformLimits(const TransformLimitsRecord&) override {}
    void OnSecondRecord(const OpaqueRecord&) override {}
    void SetVersion(double v) override { version_ = v; }

private:
    // Asking a loaded image for its size exercises the loader's result.
    static void Touch(const Korvu1Image& image) {
        if (image.empty()) return;
        int32_t planes = 0, width = 0, height = 0;
        image.image->GetDimension(&planes, &width, &height);
    }

    double version_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    IgnoringVisitor visitor;
    try {
        Korvu1Reader::Read(in, visitor);
    } catch (const ZtkException&) {
    }
    return 0;
}
