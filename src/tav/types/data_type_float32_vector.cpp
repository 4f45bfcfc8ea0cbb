#include "tav/types/data_type_float32_vector.hpp"

#include <stdexcept>

#include "tav/types/type_words.hpp"

namespace Korvu2::TAV::Objects {

CDataTypeFloat32Vector::CDataTypeFloat32Vector(int32_t dimension) : dimension_(dimension) {
    if (dimension_ < 1)
        throw std::invalid_argument("vector dimension below 1");
}

CDataTypeFloat32Vector::CDataTypeFloat32Vector(const void* payload, uint64_t size)
    : dimension_(type_words::read_exact<2>(payload, size, kTypeEnum)[1]) {
    if (dimension_ < 1)
        throw std::runtime_error(kInvalidTypeDescriptors);
}

int32_t CDataTypeFloat32Vector::Compare(const ITavDataType& other) const {
    const auto* o = dynamic_cast<const CDataTypeFloat32Vector*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    return dimension_ == o->dimension_ ? CompareEqual : CompareDifferent;
}

void CDataTypeFloat32Vector::prepare() {
    std::vector<uint8_t>& scratch = vxIO::prepare_buffer();
    scratch.clear();
    type_words::append(scratch, static_cast<uint32_t>(kTypeEnum));
    type_words::append(scratch, static_cast<uint32_t>(dimension_));
}

} // namespace Korvu2::TAV::Objects
