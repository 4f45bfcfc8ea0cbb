#pragma once
// The class names of a version-1 list, in class index order.
#include <string>
#include <vector>

namespace Korvu2::Korvu1 {

class Korvu1Object {
public:
    // Each byte becomes one 16-bit unit with its sign extended, so the low
    // byte of every unit is the file's byte again.
    void AddClassName(const std::string& name);

    const std::vector<std::u16string>& ClassNames() const noexcept { return classNames_; }

    // The file's bytes of class name i (the low byte of each unit).
    std::string ClassNameBytes(size_t index) const;

protected:
    ~Korvu1Object() = default;

private:
    std::vector<std::u16string> classNames_;
};

} // namespace Korvu2::Korvu1
