// Charger register map: descriptors against the block table, row labels, settings keys.

#include "devices/charger/charger_map.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "link/value_format.h"

namespace veltrona {
namespace {

std::string Lower(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

TEST(ChargerDescriptors, OneDescriptorPerRegisterOfEveryBlock) {
    std::size_t total = 0;
    for (std::size_t block = 0; block < kChargerBlockCount; ++block) {
        const BlockLayout& entry = kChargerBlocks[block];
        const auto table = ChargerDescriptors(block);
        ASSERT_EQ(table.size(), entry.count) << "block " << block;
        for (std::size_t i = 0; i < table.size(); ++i) {
            const std::uint16_t address = static_cast<std::uint16_t>(entry.base + i);
            EXPECT_EQ(table[i].address, address);
            EXPECT_EQ(table[i].index, i);
            EXPECT_EQ(ChargerDescriptorAt(address), &table[i]);
            const auto where = ChargerLocate(address);
            ASSERT_TRUE(where.has_value());
            EXPECT_EQ(where->block, block);
            EXPECT_EQ(where->index, i);
        }
        total += table.size();
        // Just past the block lies no charger register (the settings block is followed by the
        // control block, which starts right there).
        const std::uint16_t past = static_cast<std::uint16_t>(entry.base + entry.count);
        if (past != 0x2900) {
            EXPECT_EQ(ChargerDescriptorAt(past), nullptr) << std::hex << past;
        }
    }
    EXPECT_EQ(total, kChargerRegisterCount);
    EXPECT_EQ(total, 403u);
    EXPECT_TRUE(ChargerDescriptors(kChargerBlockCount).empty());
    EXPECT_EQ(ChargerDescriptor(0, 16), nullptr);
    EXPECT_EQ(ChargerDescriptorAt(0x05FF), nullptr);
    EXPECT_EQ(ChargerDescriptorAt(0xFFFF), nullptr);
}

TEST(ChargerDescriptors, CodesFormConsistentPairs) {
    for (std::size_t block = 0; block < kChargerBlockCount; ++block) {
        const auto table = ChargerDescriptors(block);
        for (std::size_t i = 0; i < table.size(); ++i) {
            const RegisterDescriptor& d = table[i];
            SCOPED_TRACE(d.address);
            EXPECT_LE(d.decimals, kMaxDecimals);
            switch (d.storage) {
                case 3:
                    EXPECT_EQ(d.display, 0);
                    ASSERT_LT(i + 1, table.size());
                    EXPECT_TRUE(table[i + 1].storage == 9 || table[i + 1].storage == 13);
                    break;
                case 9:
                case 13:
                    ASSERT_GT(i, 0u);
                    EXPECT_EQ(table[i - 1].storage, 3);
                    EXPECT_EQ(d.display, d.storage == 9 ? 3 : 4);
                    break;
                case 4:
                    EXPECT_EQ(d.display, 1);
                    break;
                case 6:
                    // The one signed copy shown unsigned.
                    EXPECT_EQ(d.display, d.address == 0x282D ? 1 : 2);
                    break;
                default:
                    ADD_FAILURE() << "storage code " << d.storage;
            }
        }
    }
    const RegisterDescriptor* reserve = ChargerDescriptorAt(0x282D);
    ASSERT_NE(reserve, nullptr);
    EXPECT_EQ(reserve->storage, 6);
    EXPECT_EQ(reserve->display, 1);
}

TEST(ChargerDescriptors, InterpretedRegistersCarryTheirTypes) {
    struct Expected {
        std::uint16_t address, storage, display, decimals;
    };
    const Expected expected[] = {
        {0x0004, 9, 3, 0}, {0x000A, 4, 1, 0},  {0x000B, 3, 0, 0},  {0x000C, 9, 3, 0},
        {0x0613, 4, 1, 2}, {0x0629, 13, 4, 2}, {0x062F, 13, 4, 3}, {0x0633, 13, 4, 3},
        {0x0634, 6, 2, 1}, {0x0636, 6, 2, 1},  {0x0637, 4, 1, 0},  {0x063F, 9, 3, 3},
        {0x280A, 4, 1, 2}, {0x2814, 6, 2, 1},  {0x2816, 6, 2, 1},  {0x2911, 4, 1, 2},
        {0x2915, 6, 2, 0}, {0x290D, 4, 1, 4},  {0x3001, 9, 3, 0},  {0x3018, 4, 1, 2},
        {0x3019, 4, 1, 0},
    };
    for (const Expected& e : expected) {
        const RegisterDescriptor* d = ChargerDescriptorAt(e.address);
        ASSERT_NE(d, nullptr);
        SCOPED_TRACE(e.address);
        EXPECT_EQ(d->storage, e.storage);
        EXPECT_EQ(d->display, e.display);
        EXPECT_EQ(d->decimals, e.decimals);
    }
    // Every stage descriptor has the same layout: currents and voltages with 2 decimals, the
    // compensation signed.
    for (std::size_t stage = 0; stage < kChargerStageCount; ++stage) {
        const std::uint16_t first =
            static_cast<std::uint16_t>(0x2838 + kChargerStageRegisters * stage);
        for (std::size_t offset = 0; offset < kChargerStageRegisters; ++offset) {
            const RegisterDescriptor* d = ChargerDescriptorAt(first + offset);
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->decimals, offset >= 1 && offset <= 4 ? 2 : 0) << stage << "/" << offset;
            EXPECT_EQ(d->storage, offset == 5 ? 6 : 4) << stage << "/" << offset;
        }
    }
}

TEST(ChargerDescriptors, FormatCurrentPairs) {
    const RegisterDescriptor* current = ChargerDescriptorAt(0x0629);
    ASSERT_NE(current, nullptr);
    std::vector<std::uint16_t> live(64);
    live[0x28] = 0xFF9C;
    live[0x29] = 0xFFFF;
    EXPECT_EQ(FormatRegister(*current, live, 0x29, '.'), "-1.00");
    live[0x28] = 0x04D2;
    live[0x29] = 0;
    EXPECT_EQ(FormatRegister(*current, live, 0x29, ','), "12,34");
    EXPECT_EQ(FormatRegister(*ChargerDescriptorAt(0x0628), live, 0x28, ','), "");
}

TEST(ChargerNames, RowLabelsAreAddressAndName) {
    for (std::size_t block = 0; block < kChargerBlockCount; ++block) {
        for (const RegisterDescriptor& d : ChargerDescriptors(block)) {
            char prefix[16];
            std::snprintf(prefix, sizeof prefix, "0x%04X ", d.address);
            EXPECT_EQ(ChargerRowLabel(block, d.index),
                      prefix + std::string(ChargerRegisterName(d.address)));
            EXPECT_EQ(ChargerRegisterName(block, d.index), ChargerRegisterName(d.address));
        }
    }
    EXPECT_EQ(ChargerRowLabel(0, 3), "0x0003 ");
    EXPECT_EQ(ChargerRowLabel(0, 4), "0x0004 Версия компиляции ПО");
    EXPECT_EQ(ChargerRowLabel(1, 0x0E), "0x060E Команда управления, ответ");
    EXPECT_EQ(ChargerRowLabel(2, 0x38), "0x2838 Описатель стадии 1");
    EXPECT_EQ(ChargerRowLabel(2, 0x38 + 16 * 11), "0x28E8 Описатель стадии 12");
    EXPECT_EQ(ChargerRowLabel(2, 0x3A), "0x283A Ток 2, (в паузе), А");
    EXPECT_EQ(ChargerRowLabel(2, 0x45), "0x2845 ");
    EXPECT_EQ(ChargerRowLabel(3, 0x10), "0x2910 Описатель текущей стадии");
    EXPECT_EQ(ChargerRowLabel(3, 0x19),
              "0x2919 Длительность условия перехода на другую стадию, сек");
    EXPECT_EQ(ChargerRowLabel(5, 0x18), "0x3018 Максимальное значение тока для напряжения 20");
    EXPECT_EQ(ChargerRowLabel(5, 0x04), "0x3004 Максимальное значение тока для напряжения 0");
    EXPECT_EQ(ChargerRowLabel(4, 2), "0x2002 Формат обмена");
    EXPECT_EQ(ChargerRowLabel(6, 0), "");
    EXPECT_EQ(ChargerRegisterName(0x2807), "");
    EXPECT_EQ(ChargerRegisterName(0x2A00), "");
    EXPECT_EQ(ChargerRegisterName(0x2814), "Температура АБ макс.");
}

TEST(ChargerNames, UnnamedRegistersAreExactlyTheUnlistedOnes) {
    // Named registers per block: pairs carry their name on the upper register only.
    const std::size_t named[kChargerBlockCount] = {
        3 + 1 + 1 + 4,           // 0x0000..0x0002, 0x0007, 0x000A, four pairs
        1 + 5 + 22 + 9 + 3 + 2,  // state, versions, 0x060C..0x0621, pairs, temperatures, times
        32 - 1 + 12 * 10,        // head without Reserve_13, ten named stage offsets
        9 + 10,                  // control registers and the running stage
        3,
        1 + 2 + 21 + 1,  // voltage-type pair, 0x3002, 0x3003, currents, extras
    };
    for (std::size_t block = 0; block < kChargerBlockCount; ++block) {
        std::size_t count = 0;
        for (const RegisterDescriptor& d : ChargerDescriptors(block))
            if (!ChargerRegisterName(block, d.index).empty()) ++count;
        EXPECT_EQ(count, named[block]) << "block " << block;
    }
}

TEST(ChargerSettingsKeys, OnePerRegisterUniqueIgnoringCase) {
    const auto keys = ChargerSettingsKeys();
    ASSERT_EQ(keys.size(), 256u);
    std::set<std::string> seen;
    std::size_t stage_keys = 0;
    std::size_t reserves = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].index, i);
        EXPECT_FALSE(keys[i].key.empty()) << i;
        EXPECT_FALSE(keys[i].comment.empty()) << i;
        EXPECT_TRUE(seen.insert(Lower(keys[i].key)).second) << keys[i].key;
        if (keys[i].key.starts_with("ChargeStage_")) ++stage_keys;
        if (keys[i].comment == "Резерв") ++reserves;
    }
    EXPECT_EQ(stage_keys, 12u * 16u);
    EXPECT_EQ(reserves, 1u + 24u + 8u + 12u * 6u);
    // The same table a second time: built once, the same texts.
    EXPECT_EQ(ChargerSettingsKeys().data(), keys.data());
}

TEST(ChargerSettingsKeys, KeysAndDescriptionsSpotChecked) {
    const auto keys = ChargerSettingsKeys();
    auto at = [&](std::uint16_t address) { return keys[address - 0x2800]; };
    EXPECT_EQ(at(0x2800).key, "WaySaveSettings");
    EXPECT_EQ(at(0x2800).comment, "Способ сохранения настроек в памяти");
    EXPECT_EQ(at(0x2804).comment, "Относительный адрес описателя первой стадии");
    EXPECT_EQ(at(0x2807).key, "Reserve_13");
    EXPECT_EQ(at(0x2814).comment, "Максимальная рабочая температура АБ, х10");
    EXPECT_EQ(at(0x281F).key, "ReleOut2ControlCriterion");
    EXPECT_EQ(at(0x2820).key, "Reserve_30");
    EXPECT_EQ(at(0x2826).key, "Reserve_2");
    EXPECT_EQ(at(0x282D).key, "Reserve_19");
    EXPECT_EQ(at(0x2837).key, "Reserve_29");
    EXPECT_EQ(at(0x28F8).key, "Reserve_4");
    EXPECT_EQ(at(0x28FF).key, "Reserve_11");
    EXPECT_EQ(at(0x2838).key, "ChargeStage_1_Descript");
    EXPECT_EQ(at(0x2838).comment, "Стадия 1, описатель");
    EXPECT_EQ(at(0x2838 + 16 * 2 + 8).key, "ChargeStage_3_TimeStage");
    EXPECT_EQ(at(0x2838 + 16 * 11 + 9).key, "ChargeStage_12_DurationPass");
    EXPECT_EQ(at(0x2838 + 16 * 11 + 9).comment,
              "Стадия 12, длительность перехода на следующую стадию");
    EXPECT_EQ(at(0x2838 + 16 * 4 + 5).comment, "Стадия 5, коэффициент термокомпенсации");
    EXPECT_EQ(at(0x2838 + 10).key, "ChargeStage_1_Reserve_0");
    EXPECT_EQ(at(0x2838 + 16 * 11 + 15).key, "ChargeStage_12_Reserve_5");
    EXPECT_EQ(at(0x2838 + 16 * 11 + 15).comment, "Резерв");
}

TEST(ChargerSettingsKeys, FeedTheSettingsFile) {
    std::vector<std::uint16_t> values(256);
    values[0x38 + 16 * 2 + 8] = 480;
    const std::string file =
        ComposeDeviceSettings("TARVOLEN", ChargerSettingsKeys(), values).value();
    std::size_t lines = 0;
    for (char c : file)
        if (c == '\n') ++lines;
    EXPECT_EQ(lines, 257u);
    EXPECT_NE(file.find("ChargeStage_3_TimeStage"), std::string::npos);
    EXPECT_NE(file.find("480"), std::string::npos);
}

}  // namespace
}  // namespace veltrona
