#pragma once
// A text label. The text is held as UTF-8 without terminator.
#include <string>

#include "tav/frame/interfaces.hpp"
#include "tav/samples/stored_payload.hpp"

namespace Korvu2::TAV::Objects {

class CLabelString : public ITavLabel {
public:
    explicit CLabelString(std::string utf8);
    // From a stored "TXTUTF8 " payload: the text up to its first NUL byte;
    // an empty text is rejected.
    explicit CLabelString(const StoredPayload& payload);

    int32_t Compare(const ITavLabel& other) const override;
    bool VerifyCompatibility(const ITavLabelType& type) const override;
    SharedHandle<ITavLabel> Clone() const override;
    // Throws std::runtime_error for a label of another class.
    bool IsLess(const ITavLabel& other) const override;
    // The first eight bytes of the text as a big-endian number, zero-padded.
    std::optional<uint64_t> OrderKey() const noexcept override;

    const std::string& Text() const { return text_; }
    // Replaces the text of a label a list holds (changing a label in place).
    void SetText(std::string utf8) { text_ = std::move(utf8); }

    void prepare() override {}
    vxIO::xriff_fixed_string<8> chunk_type() const override { return "TXTUTF8 "; }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return {}; }
    uint64_t chunk_size() const override { return text_.size(); }
    const void* chunk_data() const override { return text_.data(); }
    void clear() override {}

private:
    std::string text_;
};

} // namespace Korvu2::TAV::Objects
