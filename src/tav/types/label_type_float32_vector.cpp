#include "tav/types/label_type_float32_vector.hpp"

#include <stdexcept>

#include "tav/types/type_words.hpp"

namespace Korvu2::TAV::Objects {

CLabelTypeFloat32Vector::CLabelTypeFloat32Vector(int32_t dimension) : dimension_(dimension) {
    if (dimension_ < 1)
        throw std::invalid_argument("vector dimension below 1");
}

// A stored dimension below 1 is refused like a created one would be: no list
// could ever hold a label of it.
CLabelTypeFloat32Vector::CLabelTypeFloat32Vector(const void* payload, uint64_t size)
    : dimension_(type_words::read_exact<2>(payload, size, kTypeEnum)[1]) {
    if (dimension_ < 1)
        throw std::runtime_error(kInvalidTypeDescriptors);
}

int32_t CLabelTypeFloat32Vector::Compare(const ITavLabelType& other) const {
    const auto* o = dynamic_cast<const CLabelTypeFloat32Vector*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    return dimension_ == o->dimension_ ? CompareEqual : CompareDifferent;
}

void CLabelTypeFloat32Vector::prepare() {
    std::vector<uint8_t>& scratch = vxIO::prepare_buffer();
    scratch.clear();
    type_words::append(scratch, static_cast<uint32_t>(kTypeEnum));
    type_words::append(scratch, static_cast<uint32_t>(dimension_));
}

} // namespace Korvu2::TAV::Objects
