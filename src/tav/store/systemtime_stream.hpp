#pragma once
// A list time as one "SYSTIME\0" chunk: the 16 bytes of the SYSTEMTIME record
// (eight little-endian 16-bit fields), under a name of its own. The load
// reads the record back with one read of its first 16 bytes.
#include <cstdint>

#include <tav/tav.h>

#include "tav/xriff/chunk_types.hpp"
#include "tav/xriff/streamable.hpp"

namespace Korvu2::TAV::Objects {

static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME is stored as its eight 16-bit fields");

class systemtime_stream : public vxIO::ixriff_streamable {
public:
    static constexpr uint64_t kStoredSize = sizeof(SYSTEMTIME);

    systemtime_stream(const SYSTEMTIME& value, const vxIO::xriff_fixed_string<16>& name)
        : value_(value), name_(name) {}

    void prepare() override {}
    vxIO::xriff_fixed_string<8> chunk_type() const override { return vxIO::xriff_type::system_time; }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return name_; }
    uint64_t chunk_size() const override { return kStoredSize; }
    const void* chunk_data() const override { return &value_; }
    void clear() override {}

private:
    SYSTEMTIME value_;
    vxIO::xriff_fixed_string<16> name_;
};

} // namespace Korvu2::TAV::Objects
