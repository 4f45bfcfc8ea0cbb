// Interface identifiers and the type tests.
#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/frame/interfaces.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

extern "C" {

uint64_t TavGetInterfaceID(uint32_t kind) {
    switch (kind) {
    case TAV_KIND_LIST: return interface_id(Family::List);
    case TAV_KIND_LABEL: return interface_id(Family::Label);
    case TAV_KIND_DATA: return interface_id(Family::Data);
    case TAV_KIND_LABEL_TYPE: return interface_id(Family::LabelType);
    case TAV_KIND_DATA_TYPE: return interface_id(Family::DataType);
    default: return 0;
    }
}

int32_t IsTav(ZTHANDLE h) { return frame::is_family<ITav>(h); }
int32_t IsTavData(ZTHANDLE h) { return frame::is_family<ITavData>(h); }
int32_t IsTavLabel(ZTHANDLE h) { return frame::is_family<ITavLabel>(h); }
int32_t IsTavDataType(ZTHANDLE h) { return frame::is_family<ITavDataType>(h); }
int32_t IsTavLabelType(ZTHANDLE h) { return frame::is_family<ITavLabelType>(h); }

} // extern "C"
