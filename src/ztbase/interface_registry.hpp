#pragma once
// Interface names and the identifiers handed out for them.
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace ZTK::detail {

class CInterfaceRegistry {
public:
    static CInterfaceRegistry& Instance();

    // The identifier of name, made on first sight; 0 for a null or empty name
    // or when memory runs out.
    uint64_t Register(const char* name) noexcept;

private:
    // 0 means "none" and 1 is the image interface: identifiers start above.
    static constexpr uint64_t kFirstId = 2;

    std::mutex mutex_;
    std::unordered_map<std::string, uint64_t> ids_;
    uint64_t next_ = kFirstId;
};

} // namespace ZTK::detail
