#include "tav/frame/make_object.hpp"

namespace Korvu2::TAV {

void bind_or_throw(ZTHANDLE handle, ZTK::IDisposableType* object) {
    int32_t status = ZtBindImplementation(handle, object);
    if (status >= 0)
        return;
    if (status == ErrInvalidArgument)
        throw ztkBase::invalid_argument("Interface in ptr present this container");
    if (status == ErrOutOfMemory)
        throw ztkBase::bad_alloc();
    throw ztkBase::runtime_error();
}

} // namespace Korvu2::TAV
