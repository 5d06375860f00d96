#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace veltrona {

// Device kind codes carried by the device model.
inline constexpr std::uint8_t kKindBms = 0;
inline constexpr std::uint8_t kKindCharger = 2;
inline constexpr std::uint8_t kKindInverter = 3;

// Block access.
inline constexpr std::uint8_t kAccessRead = 1;
inline constexpr std::uint8_t kAccessWrite = 2;
inline constexpr std::uint8_t kAccessReadWrite = 3;

// Block poll-mode bits.
inline constexpr std::uint8_t kPollReadOnce = 0x01;
inline constexpr std::uint8_t kPollReadEvery = 0x02;
inline constexpr std::uint8_t kPollWriteOnce = 0x04;
inline constexpr std::uint8_t kPollWriteEvery = 0x08;

// Transaction-record state bits.
inline constexpr std::uint8_t kStateEnabled = 0x01;
inline constexpr std::uint8_t kStateUnreachable = 0x04;
inline constexpr std::uint8_t kStateAwaitingReply = 0x08;

// Operation codes of the transaction record (not the function codes on the wire).
inline constexpr std::uint8_t kOpRead = 3;
inline constexpr std::uint8_t kOpWrite = 12;
inline constexpr std::uint8_t kOpBootRead = 26;
inline constexpr std::uint8_t kOpFlashErase = 32;
inline constexpr std::uint8_t kOpFlashProgram = 33;
inline constexpr std::uint8_t kOpDeviceOpen = 34;
inline constexpr std::uint8_t kOpDeviceClose = 35;

// Device phases.
inline constexpr std::uint8_t kPhaseRead = 0;
inline constexpr std::uint8_t kPhaseWrite = 1;
inline constexpr std::uint8_t kPhaseBoot = 2;

// Current block while a bootloader operation is under way.
inline constexpr std::uint16_t kBootBlock = 15;

// Largest chunks whose frames fit the 256-byte slots.
inline constexpr std::uint16_t kMaxReadChunk = 125;
inline constexpr std::uint16_t kMaxWriteChunk = 123;

struct TransactionRecord {
    std::uint8_t state = 0;
    std::uint8_t operation = 0;
    std::uint8_t exception = 0;
    std::uint32_t start = 0;
    std::uint16_t count = 0;
};

struct RegisterBlock {
    std::uint8_t access = 0;
    std::uint8_t poll_mode = 0;
    std::uint16_t base = 0;
    std::uint16_t count = 0;
    std::uint16_t map_bytes = 0;
    std::uint16_t read_chunk = 0;
    std::uint16_t write_chunk = 0;
    std::uint16_t current_request = 0;
    std::uint16_t read_requests = 0;
    std::uint16_t write_requests = 0;
    std::uint16_t last_write_result = 0;
    std::vector<std::uint8_t> reserved_map;
    std::vector<std::uint8_t> fresh_map;
    std::vector<std::uint8_t> changed_map;
    std::vector<std::uint8_t> edit_map;
    std::vector<std::uint8_t> write_request_map;
    std::vector<std::uint8_t> write_done_map;
    std::vector<std::uint16_t> values_read;
    std::vector<std::uint16_t> values_to_write;
    // What the last write request of each register carried: a reply ends the write only of the
    // registers whose value to write has not changed since, so a newer value queued while the
    // request was out still goes.
    std::vector<std::uint16_t> values_sent;
};

// Bootloader operations, by bit of pending_operations.
inline constexpr std::uint8_t kBootDeviceOpen = 0;
inline constexpr std::uint8_t kBootInfo1 = 1;
inline constexpr std::uint8_t kBootInfo2 = 2;
inline constexpr std::uint8_t kBootFlashErase = 3;
inline constexpr std::uint8_t kBootFlashProgram = 4;
inline constexpr std::uint8_t kBootDeviceClose = 5;
inline constexpr std::uint8_t kBootAutoFlag = 0x40;

inline constexpr std::size_t kInfo1Size = 11;
inline constexpr std::size_t kInfo2Size = 18;

struct BootRecord {
    std::uint8_t present = 1;
    std::uint8_t pending_operations = 0;
    std::uint8_t retries_left = 0;
    std::uint16_t loader_result = 0;
    std::uint16_t info1_start = 0;
    std::uint16_t info1_count = kInfo1Size;
    std::uint16_t info1_requests = 1;
    std::uint16_t info2_start = 0x1098;
    std::uint16_t info2_count = kInfo2Size;
    std::uint16_t info2_requests = 1;
    std::uint32_t program_base = 0;
    std::uint32_t program_length = 0;
    std::uint16_t program_requests = 0;
    std::uint16_t program_chunk = 0;
    std::uint16_t info_chunk = 126;
    std::uint16_t current_operation = 0;
    std::uint16_t buffer_selector = 0;
    std::uint16_t current_request = 0;
    std::uint16_t info1[kInfo1Size] = {};
    std::uint16_t info2[kInfo2Size] = {};
    std::vector<std::uint16_t> image;
};

// Five 16-bit fields, as the register maps list them.
struct RegisterDescriptor {
    std::uint16_t address = 0;
    std::uint16_t index = 0;
    std::uint16_t storage = 0;
    std::uint16_t display = 0;
    std::uint16_t decimals = 0;
};

// One row of a device's block table; request counts are stored, and checked when a model
// is built.
struct BlockLayout {
    std::uint8_t access;
    std::uint8_t poll_mode;
    std::uint16_t base;
    std::uint16_t count;
    std::uint16_t map_bytes;
    std::uint16_t read_chunk;
    std::uint16_t write_chunk;
    std::uint16_t read_requests;
    std::uint16_t write_requests;
};

struct DeviceLayout {
    std::uint8_t kind;
    std::span<const BlockLayout> blocks;
};

struct DeviceModel {
    std::uint8_t kind = 0;
    std::uint8_t address = 0;
    std::uint8_t failures = 0;
    std::uint8_t phase = kPhaseRead;
    std::uint16_t current_block = 0;
    std::uint16_t write_block = 0;
    std::uint8_t write_step = 0;
    std::uint8_t write_wait = 0;
    TransactionRecord transaction;
    std::vector<RegisterBlock> blocks;
    std::unique_ptr<BootRecord> boot;

    // The block of the transaction under way, or null when current_block names none (as
    // during a bootloader operation).
    RegisterBlock* CurrentBlock() {
        return current_block < blocks.size() ? &blocks[current_block] : nullptr;
    }
    const RegisterBlock* CurrentBlock() const {
        return current_block < blocks.size() ? &blocks[current_block] : nullptr;
    }
};

// Null when the table is inconsistent (chunks too large or zero, stored counts that are not
// the rounded-up quotients) or memory runs out.
std::unique_ptr<DeviceModel> BuildDeviceModel(const DeviceLayout& entry, std::uint8_t address,
                                              bool enabled);

void SetEnabled(DeviceModel& model, bool enabled);
void SetBusAddress(DeviceModel& model, std::uint8_t address);
inline bool IsEnabled(const DeviceModel& model) {
    return (model.transaction.state & kStateEnabled) != 0;
}
inline bool IsUnreachable(const DeviceModel& model) {
    return (model.transaction.state & kStateUnreachable) != 0;
}

// Bitmaps: bit (index mod 8) of byte (index / 8). Indices past the map read as clear and are
// never written.
inline bool TestBit(std::span<const std::uint8_t> map, std::size_t index) {
    return index / 8 < map.size() && (map[index / 8] >> (index % 8) & 1) != 0;
}
inline void SetBit(std::span<std::uint8_t> map, std::size_t index) {
    if (index / 8 < map.size()) map[index / 8] |= static_cast<std::uint8_t>(1u << (index % 8));
}
inline void ClearBit(std::span<std::uint8_t> map, std::size_t index) {
    if (index / 8 < map.size()) map[index / 8] &= static_cast<std::uint8_t>(~(1u << (index % 8)));
}

// The three device models of the bus: index 0 charger, 1 inverter, 2 BMS. A model that
// failed to build is null and takes no part in the cycle.
inline constexpr std::uint16_t kDeviceListBusy = 0x0001;

struct DeviceList {
    std::vector<std::unique_ptr<DeviceModel>> models;
    std::uint16_t current = 0;
    std::uint16_t flags = 0;

    DeviceModel* At(std::size_t index) const {
        return index < models.size() ? models[index].get() : nullptr;
    }
};

DeviceList CreateDeviceList(std::size_t count);
void DestroyDeviceList(DeviceList& list);

}  // namespace veltrona
