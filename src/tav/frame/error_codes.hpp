#pragma once
#include <cstdint>

namespace Korvu2::TAV {

// Failure codes have the top bit set; 0 is success.
enum ErrorCode : int32_t {
    ErrSuccess = 0,
    ErrFailure = static_cast<int32_t>(0x80000001u),
    ErrInvalidArgument = static_cast<int32_t>(0x80000002u),
    ErrFile = static_cast<int32_t>(0x80000003u),
    ErrOutOfMemory = static_cast<int32_t>(0x80000005u),
    ErrInvalidImage = static_cast<int32_t>(0x80000010u),
    ErrExpired = static_cast<int32_t>(0x80000011u),
    ErrInvalidOperation = static_cast<int32_t>(0x80000013u),
    ErrEmptyList = static_cast<int32_t>(0x80000016u),
    ErrInvalidValue = static_cast<int32_t>(0x8000001au),
    ErrIncompatible = static_cast<int32_t>(0x8000001cu),
    ErrBufferTooSmall = static_cast<int32_t>(0x8000002bu),
    ErrIndexOutOfRange = static_cast<int32_t>(0x80000030u),
};

// Reported with ErrOutOfMemory when an object cannot be made.
inline constexpr const char* kObjectCreationFailed =
    "Object creation failed unexpectedly; potentially the system is running out of the necessary resources";

} // namespace Korvu2::TAV
