#include "sim/sim_device.h"

#include <chrono>
#include <ctime>

namespace veltrona::sim {

SimDevice::SimDevice(std::span<const BlockLayout> blocks) : blocks_(blocks) {
    for (const BlockLayout& b : blocks_)
        values_.emplace_back(b.count, 0);
}

const BlockLayout* SimDevice::FindBlock(std::uint32_t start, std::uint32_t count) const {
    const BlockLayout* best = nullptr;
    for (const BlockLayout& b : blocks_) {
        if (start >= b.base && start + count <= std::uint32_t{b.base} + b.count &&
            (best == nullptr || b.count < best->count)) {
            best = &b;
        }
    }
    return best;
}

std::pair<std::size_t, std::size_t> SimDevice::Locate(std::uint16_t address) const {
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const BlockLayout& b = blocks_[i];
        if (address >= b.base && address < std::uint32_t{b.base} + b.count) {
            return {i, address - b.base};
        }
    }
    return {blocks_.size(), 0};
}

std::uint16_t SimDevice::Get(std::uint16_t address) const {
    auto [block, offset] = Locate(address);
    return block < values_.size() ? values_[block][offset] : 0;
}

void SimDevice::Set(std::uint16_t address, std::uint16_t value) {
    auto [block, offset] = Locate(address);
    if (block < values_.size()) values_[block][offset] = value;
}

std::uint32_t SimDevice::Get32(std::uint16_t address) const {
    return Get(address) | std::uint32_t{Get(static_cast<std::uint16_t>(address + 1))} << 16;
}

void SimDevice::Set32(std::uint16_t address, std::uint32_t value) {
    Set(address, static_cast<std::uint16_t>(value));
    Set(static_cast<std::uint16_t>(address + 1), static_cast<std::uint16_t>(value >> 16));
}

std::uint8_t SimDevice::RefuseWrite(std::uint16_t, std::span<const std::uint16_t>) const {
    return 0;
}

void SimDevice::Written(std::uint16_t, std::uint16_t, double) {}

std::optional<LinkSettings> SimDevice::TakeLinkChange() {
    return std::nullopt;
}

std::vector<std::uint8_t> SimDevice::LoaderReply(std::span<const std::uint8_t>) {
    return {};
}

std::uint32_t DeviceClockNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    // timegm on the local broken-down time gives local seconds since 1970 without a zone.
    const std::int64_t local_epoch = timegm(&local);
    constexpr std::int64_t k2000 = 946'684'800;
    return static_cast<std::uint32_t>(local_epoch > k2000 ? local_epoch - k2000 : 0);
}

}  // namespace veltrona::sim
