#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "devices/inverter/inverter_map.h"
#include "devices/settings_write_step.h"
#include "link/catalogue.h"
#include "link/device_model.h"

namespace veltrona {

// Typed value sets: element i is register i of the block, a 32-bit pair at the elements of
// its two registers, low half first.
using InverterIdentValues = std::array<std::uint16_t, 13>;
using InverterLiveValues = std::array<std::uint16_t, 26>;
using InverterSettingsValues = std::array<std::uint16_t, kInverterSettingsCount>;
using InverterLinkValues = std::array<std::uint16_t, 3>;
using InverterInnerValues = std::array<std::uint16_t, 18>;
using InverterHiddenValues = std::array<std::uint16_t, 32>;
using InverterBootInfo = std::array<std::uint16_t, kInfo1Size>;

// The device values, kept as read: a state code above its catch-all stays as the device
// sent it, and only the texts lower it (InverterStateText).
struct InverterReceivedSets {
    InverterIdentValues ident{};
    InverterLiveValues live{};
    InverterSettingsValues settings{};
    InverterSettingsValues minimum{};
    InverterSettingsValues maximum{};
    InverterLinkValues link{};
    InverterInnerValues inner{};
    InverterHiddenValues hidden{};
};

// The values of the last write request of each writable block (the table's "Мастер" column).
struct InverterWrittenSets {
    InverterIdentValues ident{};
    InverterSettingsValues settings{};
    InverterLinkValues link{};
    InverterHiddenValues hidden{};
};

// Edit flags: a hidden setting was edited since the last Send.
inline constexpr std::uint16_t kInvEditHidden = 0x0080;

struct InverterView {
    InverterReceivedSets received;
    InverterWrittenSets written;
    InverterIdentValues command{};  // slot 10 code, slots 11 and 12 the parameter
    InverterSettingsValues edited{};
    InverterLinkValues link{};
    InverterHiddenValues hidden{};
    InverterSettingsValues file_settings{};
    InverterBootInfo boot_info{};  // the loader's information buffer 1
    // Command page state: the clock fields and the charging set-points in raw units.
    DeviceDateTime clock{};
    std::uint16_t charging_current = 0;
    std::uint16_t charging_voltage = 0;
    std::uint16_t previous_relays = 0;  // relay word of the last TakeRelayChange
    std::uint16_t edit_flags = 0;
    std::uint8_t settings_source = 0;  // 1 after Open from a file, 0 after Receive
    bool not_available = false;
    std::uint8_t availability_changed = 0;
    // Bit per block: a write reply of the block carried an exception since the block's last
    // whole-block write was queued.
    std::uint8_t failed_writes = 0;
};

// The sets of a block; empty for a block without such a set.
std::span<std::uint16_t> InverterReceivedSet(InverterView& view, std::size_t block);
std::span<const std::uint16_t> InverterReceivedSet(const InverterView& view, std::size_t block);
std::span<std::uint16_t> InverterWrittenSet(InverterView& view, std::size_t block);
std::span<const std::uint16_t> InverterWrittenSet(const InverterView& view, std::size_t block);

// Received value of a 16-bit register, and of the 32-bit pair named by its upper register;
// 0 outside the blocks.
std::uint16_t InverterReceivedWord(const InverterView& view, std::uint16_t address);
std::uint32_t InverterReceivedPair(const InverterView& view, std::uint16_t upper_address);

// The port has opened: not available until the first answered read, picture change not
// pending, relay word forgotten (the first live read redraws the relays unless its word is 0).
void MarkInverterPortOpened(InverterView& view);

// The not-available flag follows the unreachable mark, but only an answered transaction
// clears it: the misses before the fifth leave it as it was. Both Take functions apply this
// rule first and copy nothing while the inverter is unreachable.

// After every read and bootloader transaction of the inverter, answered or not: the fresh
// registers of the current block into its received set (their fresh bits cleared); after a
// bootloader transaction no block is touched, and after a read of information buffer 1 the
// buffer goes into the view's boot_info.
void TakeReceivedValues(DeviceModel& model, InverterView& view);
// After a write request of the current block (0, 2, 5 or 7) has been sent: the block's values
// to write into its written set.
void TakeWrittenValues(DeviceModel& model, InverterView& view);
// Copies the source set of the model's write block (0 command set; 2 edited settings for
// write step 0, file settings for step 1; 5 link set; 7 hidden set) into its values to write.
// False for any other block.
bool PutValuesToWrite(DeviceModel& model, const InverterView& view);

// After every answered write reply of the inverter, before its write progress is asked: an
// exception marks the current block failed. The blocks of one register per request would
// otherwise lose the failure to the next good reply.
void TakeWriteResult(const DeviceModel& model, InverterView& view);

// Queues a write of every register of block 2, 5 or 7 from its source set (write step 0):
// edit and write-request maps all set, write-done map, last result and failure mark cleared.
// False for any other block.
bool QueueInverterBlockWrite(DeviceModel& model, InverterView& view, std::uint16_t block);

inline constexpr std::uint16_t kInvWriteProgressDone = 0x01;
inline constexpr std::uint16_t kInvWriteProgressPending = 0x02;
inline constexpr std::uint16_t kInvWriteProgressDataError = 0x04;

struct InverterWriteProgress {
    std::uint16_t result = 0;
    std::uint16_t count = 0;  // complete edit-map bytes, compared with the block's map bytes
};
// Walks the block's edit map byte by byte up to the first byte not yet written; a complete
// byte met while the block has failed (TakeWriteResult) or its last result is an exception
// ends the walk with the data error.
InverterWriteProgress InverterWriteProgressOf(const DeviceModel& model, const InverterView& view,
                                              std::size_t block);

// The progress of block 2, 5 or 7 for the progress dialog: the complete bytes of the edit map
// out of the block's map bytes, failed on the data error.
SettingsWriteStep InverterSettingsWriteStep(const DeviceModel& model, const InverterView& view,
                                            std::size_t block);

// Queues one write of the command registers 0x000A..0x000C (one request of 3 registers).
// False, and nothing done, while the inverter is not available (the caller shows its
// message).
bool QueueInverterCommand(DeviceModel& model, InverterView& view, std::uint16_t code,
                          std::uint32_t parameter = 0);

// Bit 3 of the device status word: the inverter is switched on.
bool InverterRunning(const InverterView& view);
// Off while the inverter runs, on otherwise.
std::uint16_t InverterOnOffCommand(const InverterView& view);

// Text of a state register (0x0711, 0x0712, 0x0718, 0x071A, 0x071B, 0x071C, 0x0729) from a
// copy of its received value lowered to the catch-all; empty for any other register.
std::string_view InverterStateText(const InverterView& view, std::uint16_t address);

// After a live-block read: whether the relay word differs from the one of the last call; the
// new word is remembered.
bool TakeRelayChange(InverterView& view);

}  // namespace veltrona
