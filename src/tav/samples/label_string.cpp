#include "tav/samples/label_string.hpp"

#include <cstring>
#include <stdexcept>

#include "tav/frame/make_object.hpp"
#include "tav/types/label_type_string.hpp"

namespace Korvu2::TAV::Objects {

CLabelString::CLabelString(std::string utf8) : text_(std::move(utf8)) {}

namespace {
std::string text_from(const StoredPayload& payload) {
    const char* bytes = static_cast<const char*>(payload.bytes);
    if (bytes == nullptr)
        throw invalid_stored_form("empty label text");
    std::string text(bytes, strnlen(bytes, payload.size));
    if (text.empty())
        throw invalid_stored_form("empty label text");
    return text;
}
} // namespace

CLabelString::CLabelString(const StoredPayload& payload) : text_(text_from(payload)) {}

int32_t CLabelString::Compare(const ITavLabel& other) const {
    auto* o = dynamic_cast<const CLabelString*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    return text_ == o->text_ ? CompareEqual : CompareDifferent;
}

bool CLabelString::VerifyCompatibility(const ITavLabelType& type) const {
    return dynamic_cast<const CLabelTypeString*>(&type) != nullptr;
}

SharedHandle<ITavLabel> CLabelString::Clone() const {
    auto clone = make_object<CLabelString>(text_);
    clone->SetExcluded(Excluded());
    return clone;
}

bool CLabelString::IsLess(const ITavLabel& other) const {
    auto* o = dynamic_cast<const CLabelString*>(&other);
    if (o == nullptr)
        throw std::runtime_error("Types no comparable");
    // std::string compares as unsigned bytes, a proper prefix first.
    return text_ < o->text_;
}

std::optional<uint64_t> CLabelString::OrderKey() const noexcept {
    // Unsigned bytes as IsLess compares them. A text that ends early is
    // padded with zeros, so it never sorts after a text it is a prefix of; a
    // zero byte inside a text only makes keys equal that IsLess tells apart.
    uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i)
        key = (key << 8) | (i < text_.size() ? static_cast<unsigned char>(text_[i]) : 0u);
    return key;
}

} // namespace Korvu2::TAV::Objects
