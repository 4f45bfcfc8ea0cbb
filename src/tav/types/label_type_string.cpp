#include "tav/types/label_type_string.hpp"

#include "tav/types/type_words.hpp"

namespace Korvu2::TAV::Objects {

CLabelTypeString::CLabelTypeString(const void* payload, uint64_t size) {
    type_words::read_exact<1>(payload, size, kTypeEnum);
}

int32_t CLabelTypeString::Compare(const ITavLabelType& other) const {
    return dynamic_cast<const CLabelTypeString*>(&other) != nullptr ? CompareEqual : CompareOtherClass;
}

void CLabelTypeString::prepare() {
    std::vector<uint8_t>& scratch = vxIO::prepare_buffer();
    scratch.clear();
    type_words::append(scratch, static_cast<uint32_t>(kTypeEnum));
}

} // namespace Korvu2::TAV::Objects
