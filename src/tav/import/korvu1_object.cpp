#include "tav/import/korvu1_object.hpp"

#include <cstdint>
#include <utility>

namespace Korvu2::Korvu1 {

void Korvu1Object::AddClassName(const std::string& name) {
    std::u16string wide;
    wide.reserve(name.size());
    for (char c : name)
        wide.push_back(static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(c))));
    classNames_.push_back(std::move(wide));
}

std::string Korvu1Object::ClassNameBytes(size_t index) const {
    const std::u16string& wide = classNames_.at(index);
    std::string bytes;
    bytes.reserve(wide.size());
    for (char16_t unit : wide)
        bytes.push_back(static_cast<char>(unit & 0xFF));
    return bytes;
}

} // namespace Korvu2::Korvu1
