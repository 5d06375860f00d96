#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/sim_device.h"

namespace veltrona::sim {

// A 16-cell LiFePO4 pack of 100 A*h near half charge, its current wandering either side of
// zero. The cells sit near 3.2 V, each a little off the others, and rise or sag with the
// current; the pack voltage is their sum. Six protections (cell over- and under-voltage, over-
// and under-temperature, charge and discharge over-current) watch the levels of the
// protection block, a master's writes included: a level passed for its delay trips the
// protection, which sets its SafetyStatus bit, opens its switch and, when SafetyStatusSave
// selects it, adds a journal record (time, alarm type = flag bit + 1, cell from 1 or 0 for
// the pack); it clears past its recovery level. The journal starts with older records, zeros
// after them.
class BmsSim : public SimDevice {
  public:
    static constexpr std::uint16_t kCells = 16;
    static constexpr std::size_t kHistoryRecords = 36;
    static constexpr std::size_t kProtectionCount = 6;

    BmsSim();
    void Advance(double seconds) override;

    std::size_t JournalRecords() const { return records_; }

  private:
    struct Trip {
        double passed_at = -1;  // when the level was passed; -1 while it is not
        bool tripped = false;
    };

    // A register as the map types it; a pair by its upper register.
    std::int64_t Value(std::uint16_t address) const;
    void Put(std::uint16_t address, std::int64_t value);
    void Record(std::uint32_t time, std::uint16_t type, std::uint16_t cell);
    void WriteHistory(std::uint32_t now);

    double last_seconds_ = 0;
    std::uint32_t start_clock_ = 0;
    double charge_ = 0;  // A*s
    double average_amps_ = 0;
    std::array<Trip, kProtectionCount> trips_{};
    std::size_t records_ = 0;
};

}  // namespace veltrona::sim
