#include "tav/frame/interfaces.hpp"

#include <vector>

namespace Korvu2::TAV::Objects {

int32_t ITavDataType::GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) {
    return list_single_interface(pairs, count, interface_id(Family::DataType), static_cast<ITavDataType*>(this));
}

int32_t ITavLabelType::GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) {
    return list_single_interface(pairs, count, interface_id(Family::LabelType), static_cast<ITavLabelType*>(this));
}

// The data references go together: one lock of the handle table for all.
ITavLabel::~ITavLabel() {
    try {
        std::vector<ZTHANDLE> handles;
        handles.reserve(data_references_.size());
        for (LinkHandle<ITavData>& link : data_references_)
            handles.push_back(link.release());
        ZtReleaseLinkRefs(handles.data(), handles.size());
    } catch (...) {
        // No room: the references go one by one.
    }
}

int32_t ITavLabel::GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) {
    return list_single_interface(pairs, count, interface_id(Family::Label), static_cast<ITavLabel*>(this));
}

int32_t ITavData::GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) {
    return list_single_interface(pairs, count, interface_id(Family::Data), static_cast<ITavData*>(this));
}

int32_t ITav::GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) {
    return list_single_interface(pairs, count, interface_id(Family::List), static_cast<ITav*>(this));
}

SharedHandle<ITavLabel> ITavData::Label() const {
    try {
        return label_.lock();
    } catch (const ztkBase::bad_weak_ptr&) {
        return {};
    }
}

} // namespace Korvu2::TAV::Objects
