#include "tav/frame/interface_ids.hpp"

#include <atomic>
#include <mutex>

#include <zt/ztbase.h>

namespace Korvu2::TAV {
namespace {

std::atomic<uint64_t> g_ids[6];
std::once_flag g_once;

void register_all() {
    // Registration order is fixed: list, data, label, data type, label type,
    // then the reader.
    g_ids[static_cast<int>(Family::List)] = ZtRegisterInterface("EXTENSIBLESAMPLEIMAGELIST");
    g_ids[static_cast<int>(Family::Data)] = ZtRegisterInterface("SAMPLEIMAGELISTDATA");
    g_ids[static_cast<int>(Family::Label)] = ZtRegisterInterface("SAMPLEIMAGELISTLABEL");
    g_ids[static_cast<int>(Family::DataType)] = ZtRegisterInterface("SAMPLEIMAGELISTDATATYPE");
    g_ids[static_cast<int>(Family::LabelType)] = ZtRegisterInterface("SAMPLEIMAGELISTLABELTYPE");
    g_ids[static_cast<int>(Family::Reader)] = ZtRegisterInterface("SAMPLEIMAGELISTFILEREADER");
}

__attribute__((constructor)) void register_at_load() { register_interfaces(); }

} // namespace

void register_interfaces() { std::call_once(g_once, register_all); }

uint64_t interface_id(Family family) {
    uint64_t id = g_ids[static_cast<int>(family)].load(std::memory_order_acquire);
    if (id == 0) {
        register_interfaces();
        id = g_ids[static_cast<int>(family)].load(std::memory_order_acquire);
    }
    return id;
}

} // namespace Korvu2::TAV
