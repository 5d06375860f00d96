#include "link/device_model.h"

#include <new>

namespace veltrona {
namespace {

constexpr std::uint32_t RoundUpQuotient(std::uint32_t count, std::uint32_t chunk) {
    return (count + chunk - 1) / chunk;
}

bool LayoutIsConsistent(const BlockLayout& s) {
    if (s.count == 0 || s.read_chunk == 0 || s.write_chunk == 0) return false;
    if (s.read_chunk > kMaxReadChunk) return false;
    // A read-only block never sends its write chunk (the BMS cell blocks carry 125).
    if ((s.access & kAccessWrite) != 0 && s.write_chunk > kMaxWriteChunk) return false;
    return s.map_bytes == RoundUpQuotient(s.count, 8) &&
           s.read_requests == RoundUpQuotient(s.count, s.read_chunk) &&
           s.write_requests == RoundUpQuotient(s.count, s.write_chunk);
}

RegisterBlock MakeBlock(const BlockLayout& s) {
    RegisterBlock b;
    b.access = s.access;
    b.poll_mode = s.poll_mode;
    b.base = s.base;
    b.count = s.count;
    b.map_bytes = s.map_bytes;
    b.read_chunk = s.read_chunk;
    b.write_chunk = s.write_chunk;
    b.read_requests = s.read_requests;
    b.write_requests = s.write_requests;
    for (auto* map : {&b.reserved_map, &b.fresh_map, &b.changed_map, &b.edit_map,
                      &b.write_request_map, &b.write_done_map}) {
        map->assign(s.map_bytes, 0);
    }
    b.values_read.assign(s.count, 0);
    b.values_to_write.assign(s.count, 0);
    b.values_sent.assign(s.count, 0);
    return b;
}

}  // namespace

std::unique_ptr<DeviceModel> BuildDeviceModel(const DeviceLayout& entry, std::uint8_t address,
                                              bool enabled) {
    for (const BlockLayout& s : entry.blocks) {
        if (!LayoutIsConsistent(s)) return nullptr;
    }
    try {
        auto model = std::make_unique<DeviceModel>();
        model->kind = entry.kind;
        model->address = address;
        model->blocks.reserve(entry.blocks.size());
        for (const BlockLayout& s : entry.blocks)
            model->blocks.push_back(MakeBlock(s));
        model->boot = std::make_unique<BootRecord>();
        SetEnabled(*model, enabled);
        return model;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void SetEnabled(DeviceModel& model, bool enabled) {
    if (enabled) {
        model.transaction.state |= kStateEnabled;
    } else {
        model.transaction.state &= static_cast<std::uint8_t>(~kStateEnabled);
    }
}

void SetBusAddress(DeviceModel& model, std::uint8_t address) {
    model.address = address;
}

DeviceList CreateDeviceList(std::size_t count) {
    DeviceList list;
    list.models.resize(count);
    return list;
}

void DestroyDeviceList(DeviceList& list) {
    list.models.clear();
    list.current = 0;
    list.flags = 0;
}

}  // namespace veltrona
