// BMS register map: value formats, lookups between the blocks and the shared entries, the
// model's turns. Every row's caption and codes: bms_rows_golden_test.

#include "devices/bms/bms_map.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "devices/bus_devices.h"
#include "link/block_engine.h"
#include "link/value_format.h"

namespace veltrona {
namespace {

// The texts of the value column, with either separator.
TEST(BmsMap, ValuesFormattedByTheirDescriptors) {
    struct Case {
        std::uint16_t address;
        std::vector<std::uint16_t> words;  // the register, a pair's lower half first
        char separator;
        std::string text;
    };
    const Case cases[] = {
        {0x0009, {0xFFFF, 0x0001}, '.', "131.071"},
        {0x0009, {0xFFFF, 0x0001}, ',', "131,071"},
        {0x0008, {0xFFFF}, '.', ""},
        {0x000B, {0xFFFF, 0xFFFF}, '.', "-0.001"},
        {0x0016, {0xFF9C}, ',', "-10,0"},
        {0x00FF, {0xFFF6}, '.', "-10"},
        {0x702C, {0xB1E0}, '.', "-20.000"},
        {0x7FFD, {0x9D80, 0x259E}, '.', "631152000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const std::size_t index = BmsLocate(c.address)->index;
        std::vector<std::uint16_t> values(index + 1, 0);
        std::copy(c.words.begin(), c.words.end(), values.end() - c.words.size());
        EXPECT_EQ(FormatRegister(*BmsDescriptorAt(c.address), values, index, c.separator), c.text);
    }
    // Between the blocks, and the shared entries of the cell blocks and the journal.
    for (const std::uint16_t outside : {0x028A, 0x6806, 0x7032, 0x73FF})
        EXPECT_FALSE(BmsLocate(outside).has_value()) << outside;
    EXPECT_EQ(BmsDescriptorAt(0x00F9), BmsDescriptorAt(0x0032));
    EXPECT_EQ(BmsDescriptorAt(0x7FFF), BmsDescriptorAt(0x7403));
    EXPECT_EQ(BmsDescriptor(kBmsBlockCellVoltage, 200), nullptr);
}

TEST(BmsModel, BuiltAtIndexTwoAndReadInElevenRequestsAfterTheJournal) {
    DeviceList list;
    ASSERT_TRUE(CreateBmsModel(list, 3));
    ASSERT_EQ(list.models.size(), 3u);
    DeviceModel& model = *list.At(kBmsIndex);
    EXPECT_EQ(model.kind, kKindBms);
    EXPECT_EQ(model.address, 3);
    EXPECT_FALSE(IsEnabled(model));

    using Request = std::pair<std::uint32_t, std::uint16_t>;
    const auto turn = [&] {
        std::vector<Request> sent;
        for (bool more = FirstReadBlock(model) && FirstReadRequest(model); more;
             more = NextReadRequest(model) || (NextReadBlock(model) && FirstReadRequest(model))) {
            sent.emplace_back(model.transaction.start, model.transaction.count);
        }
        return sent;
    };
    const std::vector<Request> regular{{0x0000, 50}, {0x0032, 125}, {0x00AF, 75}, {0x00FA, 125},
                                       {0x0177, 75}, {0x01C2, 125}, {0x023F, 75}, {0x6803, 3},
                                       {0x6C00, 45}, {0x7000, 50},  {0x6800, 3}};
    std::vector<Request> first = regular;
    for (std::uint32_t record = 0; record < kBmsJournalRecords; ++record)
        first.emplace_back(0x7400 + 4 * record, 4);
    EXPECT_EQ(turn(), first);
    EXPECT_EQ(turn(), regular);
    DestroyBmsModel(list);
    EXPECT_EQ(list.At(kBmsIndex), nullptr);
}

}  // namespace
}  // namespace veltrona
