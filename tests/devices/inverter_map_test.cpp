// Inverter register map: descriptors against the block table, row captions, lookups at the
// block edges, settings keys, value formats and the reads of one turn.

#include "devices/inverter/inverter_map.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "devices/bus_devices.h"
#include "link/block_engine.h"
#include "link/value_format.h"

namespace veltrona {
namespace {

TEST(InverterDescriptors, OneDescriptorPerRegisterOfEveryBlock) {
    std::size_t total = 0;
    for (std::size_t block = 0; block < kInverterBlockCount; ++block) {
        const BlockLayout& entry = kInverterBlocks[block];
        const auto table = InverterDescriptors(block);
        ASSERT_EQ(table.size(), entry.count) << "block " << block;
        for (std::size_t i = 0; i < table.size(); ++i) {
            const auto address = static_cast<std::uint16_t>(entry.base + i);
            EXPECT_EQ(table[i].address, address);
            EXPECT_EQ(table[i].index, i);
            EXPECT_EQ(InverterDescriptorAt(address), &table[i]);
        }
        total += table.size();
    }
    EXPECT_EQ(total, 257u);
    EXPECT_TRUE(InverterDescriptors(kInverterBlockCount).empty());
    EXPECT_EQ(InverterDescriptor(0, 13), nullptr);
    EXPECT_TRUE(InverterRowLabel(7, 32).empty());
}

TEST(InverterDescriptors, LocateAtTheBlockEdges) {
    struct Case {
        std::uint16_t address;
        int block;  // -1: no inverter register
        int index;
    };
    const Case cases[] = {
        {0x0000, 0, 0},  {0x000C, 0, 12}, {0x000D, -1, 0}, {0x06FF, -1, 0}, {0x0700, 1, 0},
        {0x0719, 1, 25}, {0x071A, 6, 0},  {0x072B, 6, 17}, {0x072C, -1, 0}, {0x1FFF, -1, 0},
        {0x2002, 5, 2},  {0x2003, -1, 0}, {0x3636, 2, 54}, {0x3637, 7, 0},  {0x3656, 7, 31},
        {0x3657, -1, 0}, {0x3736, 3, 54}, {0x3737, -1, 0}, {0x3800, 4, 0},  {0xFFFF, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const auto where = InverterLocate(c.address);
        if (c.block < 0) {
            EXPECT_FALSE(where.has_value());
            EXPECT_EQ(InverterDescriptorAt(c.address), nullptr);
            EXPECT_TRUE(InverterRegisterName(c.address).empty());
            continue;
        }
        ASSERT_TRUE(where.has_value());
        EXPECT_EQ(where->block, c.block);
        EXPECT_EQ(where->index, c.index);
    }
}

// Spot rows of every block: codes, decimals and the register table's caption.
TEST(InverterDescriptors, SpotRowsOfEveryBlock) {
    struct Row {
        std::uint16_t address;
        std::uint16_t storage, display, decimals;
        std::string_view label;
    };
    const Row rows[] = {
        {0x0003, 3, 0, 0, "0x0003 "},
        {0x0004, 9, 3, 0, "0x0004 Версия компиляции ПО"},
        {0x0701, 6, 2, 2, "0x0701 Входной ток"},
        {0x0704, 4, 1, 2, "0x0704 Напряжение инвертора"},
        {0x3600, 4, 1, 0, "0x3600 Настройки ИБП"},
        {0x3624, 6, 2, 0, "0x3624 Температурная компенсация"},
        {0x371C, 4, 1, 2, "0x371C Напряжение абсорбции"},
        {0x382D, 6, 2, 0, "0x382D Порог аварии заряда по низкой температуре АБ"},
        {0x2002, 4, 1, 0, "0x2002 Формат обмена"},
        {0x071A, 4, 1, 0, "0x07 Charge_State_Alert"},
        {0x0727, 4, 2, 0, "0x07 Charge_Manage_Status"},
        {0x072A, 6, 2, 1, "0x07 Transformer_Temperature"},
        {0x3637, 4, 1, 2, "0x Input_AC_Abs_OV_Threshold"},
        {0x364E, 6, 2, 3, "0x Transition_to_Charge_Current"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const RegisterDescriptor* d = InverterDescriptorAt(row.address);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->storage, row.storage);
        EXPECT_EQ(d->display, row.display);
        EXPECT_EQ(d->decimals, row.decimals);
        const auto where = InverterLocate(row.address);
        EXPECT_EQ(InverterRowLabel(where->block, where->index), row.label);
        EXPECT_EQ(InverterRegisterName(row.address), row.label.substr(row.label.find(' ') + 1));
    }
}

TEST(InverterSettingsKeys, OneKeyPerSettingsRegisterWithItsFileComment) {
    const auto keys = InverterSettingsKeys();
    std::set<std::string_view> distinct;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].index, i);
        distinct.insert(keys[i].key);
    }
    EXPECT_EQ(distinct.size(), keys.size());
    EXPECT_EQ(keys[0x1B].key, "Floating_Voltage");
    EXPECT_EQ(keys[0x1B].comment, "Буферное напряжение, 0,01В");
    EXPECT_EQ(keys[0x36].key, "Buzzer_Mode");
}

TEST(InverterValues, FormattedByTheirDescriptors) {
    struct Case {
        std::uint16_t address;
        std::vector<std::uint16_t> words;  // the register, a pair's lower half first
        std::string text;
    };
    const Case cases[] = {
        {0x0009, {0x9D80, 0x259E}, "631152000"},
        {0x0008, {0x9D80}, ""},
        {0x0701, {0xFF9C}, "-1.00"},
        {0x0727, {0x8001}, "-32767"},
        {0x3652, {9500}, "95.00"},
        {0x364E, {0xFFFE}, "-0.002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const RegisterDescriptor* d = InverterDescriptorAt(c.address);
        ASSERT_NE(d, nullptr);
        std::vector<std::uint16_t> values(d->index + 1, 0);
        std::copy(c.words.begin(), c.words.end(), values.end() - c.words.size());
        EXPECT_EQ(FormatRegister(*d, values, d->index, '.'), c.text);
    }
}

TEST(InverterModel, BuiltAtIndexOneAndReadInEightRequestsPerTurn) {
    DeviceList list;
    ASSERT_TRUE(CreateInverterModel(list, 3));
    ASSERT_EQ(list.models.size(), 2u);
    DeviceModel& model = *list.At(kInverterIndex);
    EXPECT_EQ(model.kind, kKindInverter);
    EXPECT_EQ(model.address, 3);
    EXPECT_FALSE(IsEnabled(model));
    ASSERT_NE(model.boot, nullptr);

    using Request = std::pair<std::uint32_t, std::uint16_t>;
    std::vector<Request> sent;
    for (bool more = FirstReadBlock(model) && FirstReadRequest(model); more;
         more = NextReadRequest(model) || (NextReadBlock(model) && FirstReadRequest(model))) {
        sent.emplace_back(model.transaction.start, model.transaction.count);
    }
    EXPECT_EQ(sent, (std::vector<Request>{{0x0000, 13},
                                          {0x0700, 26},
                                          {0x3600, 55},
                                          {0x3700, 55},
                                          {0x3800, 55},
                                          {0x2000, 3},
                                          {0x071A, 18},
                                          {0x3637, 32}}));
    DestroyInverterModel(list);
    EXPECT_EQ(list.At(kInverterIndex), nullptr);
}

}  // namespace
}  // namespace veltrona
