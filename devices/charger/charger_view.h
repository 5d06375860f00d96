#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/catalogue.h"
#include "link/device_model.h"

namespace veltrona {

// Typed value sets: element i is register i of the block, a 32-bit pair at the elements of
// its two registers, low half first.
using ChargerIdentValues = std::array<std::uint16_t, 16>;
using ChargerLiveValues = std::array<std::uint16_t, 64>;
using ChargerSettingsValues = std::array<std::uint16_t, 256>;
using ChargerControlValues = std::array<std::uint16_t, 32>;
using ChargerLinkValues = std::array<std::uint16_t, 3>;
using ChargerCapabilityValues = std::array<std::uint16_t, 32>;

struct ChargerReceivedSets {
    ChargerIdentValues ident{};
    ChargerLiveValues live{};
    ChargerSettingsValues settings{};
    ChargerControlValues control{};
    ChargerLinkValues link{};
    ChargerCapabilityValues capability{};
};

struct ChargerWrittenSets {
    ChargerIdentValues ident{};
    ChargerSettingsValues settings{};
    ChargerControlValues control{};
    ChargerLinkValues link{};
};

// Error registers in the order their changes are detected, which is also the kind code of
// ErrorKindLabel.
inline constexpr std::size_t kChargerErrorKinds = 4;

struct ChargerView {
    ChargerReceivedSets received;
    ChargerWrittenSets written;
    ChargerIdentValues command{};
    ChargerSettingsValues edited{};
    ChargerControlValues calibration{};
    ChargerLinkValues link{};
    ChargerSettingsValues file_settings{};
    std::uint8_t settings_source = 0;  // 1 after Open from a file, 0 after Receive
    // Set once Receive or Open has filled the edited settings; until then Send refuses.
    bool settings_defined = false;
    bool not_available = false;
    std::uint8_t availability_changed = 0;
    std::uint8_t calibration_marks = 0;  // bit 0 0x290A .. bit 3 0x290D
    // Set by a read of 0x2908..0x290D since the port opened: until then the calibration set
    // may not hold the device's coefficients, and the calibration page refuses.
    bool calibration_read = false;
    // The calibration set holds a request to calibrate (Enable, or taken from a read while the
    // device calibrates); cleared by Disable and when the port opens.
    bool calibration_filled = false;
    std::uint16_t last_answer = 0;
    std::uint16_t last_calibration_state = 0;
    std::array<std::uint16_t, kChargerErrorKinds> remembered_errors{};
};

// The sets of a block; empty for a block without such a set.
std::span<std::uint16_t> ChargerReceivedSet(ChargerView& view, std::size_t block);
std::span<const std::uint16_t> ChargerReceivedSet(const ChargerView& view, std::size_t block);
std::span<std::uint16_t> ChargerWrittenSet(ChargerView& view, std::size_t block);
std::span<const std::uint16_t> ChargerWrittenSet(const ChargerView& view, std::size_t block);

// Received value of a 16-bit register, and of the 32-bit pair named by its upper register;
// 0 outside the blocks.
std::uint16_t ChargerReceivedWord(const ChargerView& view, std::uint16_t address);
std::uint32_t ChargerReceivedPair(const ChargerView& view, std::uint16_t upper_address);

// Builds the charger model (kind 2, six blocks, disabled) at device list index 0, growing
// the list when it is shorter. False, and no model there, when building fails.
bool CreateChargerModel(DeviceList& list, std::uint8_t address);
void DestroyChargerModel(DeviceList& list);

// The port has opened: not available until the first good read, picture change not pending,
// calibration refused until its registers have been read.
void MarkChargerPortOpened(ChargerView& view);

// After a read reply of the model's current block.
void TakeReceivedValues(DeviceModel& model, ChargerView& view);
// After a write request of the current block (0, 2, 3 or 4) has been sent.
void TakeWrittenValues(DeviceModel& model, ChargerView& view);
// Copies the source set of the model's write block (0 command set; 2 edited settings for
// write step 0, file settings for step 1; 3 calibration set; 4 link set) into its values to
// write. False for any other block.
bool PutValuesToWrite(DeviceModel& model, const ChargerView& view);

inline constexpr std::uint16_t kChrgWriteProgressDone = 0x01;
inline constexpr std::uint16_t kChrgWriteProgressPending = 0x02;
inline constexpr std::uint16_t kChrgWriteProgressDataError = 0x04;

struct ChargerWriteProgress {
    std::uint16_t result = 0;
    std::uint16_t count = 0;  // complete edit-map bytes
};
ChargerWriteProgress ChargerWriteProgressOf(const DeviceModel& model, std::size_t block);

// Parameter a command goes out with: 0x2000 for clear errors, 0 otherwise.
std::uint16_t ChargerCommandParameter(std::uint16_t code);

// Queues one write of the command registers of block 0. False, and nothing done, while the
// charger is not available (the caller shows its message).
bool QueueChargerCommand(DeviceModel& model, ChargerView& view, std::uint16_t code);
bool QueueChargerCommand(DeviceModel& model, ChargerView& view, std::uint16_t code,
                         std::uint16_t parameter);

// After every live-block read: when the answered command changed to a non-zero code, the
// status-bar text for it, and command 0 is queued to clear the command register.
std::optional<std::string> TakeCommandAnswer(DeviceModel& model, ChargerView& view);

// "Команда" + " " + command text + " " + result text, codes clamped as the status bar shows.
std::string CommandStatusText(std::uint16_t answer, std::uint16_t result);

struct ChargerErrorChange {
    std::size_t kind = 0;  // ErrorKindLabel code
    std::uint16_t code = 0;
};

// After every read reply: the error registers whose received value differs from the one
// remembered, in detection order; each is remembered.
std::vector<ChargerErrorChange> DetectErrorChanges(ChargerView& view);

// Error text of a code by the table of its kind.
std::string_view ChargerErrorText(std::size_t kind, std::uint16_t code);

// "dd.mm.yyyy hh:nn.ss" of a local time.
std::string FormatErrorTime(const DeviceDateTime& when);
// "%-24s%-16s%-s" of the time text, the kind's label and the error text.
std::string FormatErrorLine(std::string_view time_text, std::size_t kind,
                            std::string_view error_text);

// Error-log lines of the changes found now (DetectErrorChanges, then FormatErrorLine).
std::vector<std::string> TakeErrorLines(ChargerView& view, const DeviceDateTime& now);

}  // namespace veltrona
