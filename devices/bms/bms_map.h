#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "devices/bms/bms_blocks.h"
#include "link/device_model.h"

namespace veltrona {

inline constexpr std::size_t kBmsBlockCount = std::size(kBmsBlocks);
inline constexpr std::size_t kBmsCells = 200;
inline constexpr std::size_t kBmsJournalRecords = 768;
inline constexpr std::size_t kBmsRecordRegisters = 4;

// The register table: row 0 the header, then every block in index order, one empty row
// between blocks.
inline constexpr std::size_t kBmsTableRows = 3832;
inline constexpr const char* kBmsTableHeaders[] = {"Наименование", "Мастер", "Устройство"};

struct BmsRegisterRef {
    std::uint16_t block = 0;
    std::uint16_t index = 0;
};

// Block and index of a BMS register address; nullopt outside the nine blocks.
std::optional<BmsRegisterRef> BmsLocate(std::uint16_t address);

// The descriptor table of a block (empty for an unknown block): one entry per register, but
// a single entry for each cell block and the four entries of a record for the journal.
std::span<const RegisterDescriptor> BmsDescriptors(std::size_t block);
// The entry that describes register index of a block: the cell blocks' single entry, the
// journal's entry index mod 4. Null outside the blocks.
const RegisterDescriptor* BmsDescriptor(std::size_t block, std::size_t index);
const RegisterDescriptor* BmsDescriptorAt(std::uint16_t address);

// The register's name, which is also its table caption: the block's own name for blocks 0 and
// 4 to 7, "CellVoltage_" + cell for the cell blocks, the entry's prefix + record number for
// the journal ("TimeLsb_0", "Time_0", ...). Empty outside the blocks.
std::string BmsRegisterName(std::size_t block, std::size_t index);

// Table row of a register; 0 (the header) outside the blocks.
std::size_t BmsTableRow(std::size_t block, std::size_t index);
// The register shown on a table row; nullopt for the header, the empty rows and rows past
// the table.
std::optional<BmsRegisterRef> BmsRowRegister(std::size_t row);
// Column 0 text of a row below the header; empty for the empty rows.
std::string BmsRowLabel(std::size_t row);

// Builds the BMS model (kind 0, nine blocks, disabled) at device list index 2, growing the
// list when it is shorter. False, and no model there, when building fails.
bool CreateBmsModel(DeviceList& list, std::uint8_t address);
void DestroyBmsModel(DeviceList& list);

}  // namespace veltrona
