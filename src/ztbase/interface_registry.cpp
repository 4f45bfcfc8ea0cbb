#include "interface_registry.hpp"

namespace ZTK::detail {

CInterfaceRegistry& CInterfaceRegistry::Instance() {
    static CInterfaceRegistry* registry = new CInterfaceRegistry;
    return *registry;
}

uint64_t CInterfaceRegistry::Register(const char* name) noexcept {
    if (!name || !*name)
        return 0;
    try {
        std::lock_guard lock(mutex_);
        auto [it, inserted] = ids_.try_emplace(name, next_);
        if (inserted)
            ++next_;
        return it->second;
    } catch (...) {
        return 0;
    }
}

} // namespace ZTK::detail
