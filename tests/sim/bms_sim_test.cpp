#include "sim/bms_sim.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "devices/bms/bms_map.h"

namespace veltrona::sim {
namespace {

constexpr std::uint16_t kCellVoltage = 0x0032;
constexpr std::uint16_t kCellTemp = 0x00FA;

std::int32_t PackMilliamps(const BmsSim& bms) {
    return static_cast<std::int32_t>(bms.Get32(0x000A));
}

TEST(BmsSim, PackAndCellsStayPlausibleAndMove) {
    BmsSim bms;
    int signs = 0;  // bit 0 charging seen, bit 1 discharging
    for (double t = 1; t < 4 * 3600; t += 37) {
        bms.Advance(t);
        std::uint32_t sum = 0;
        std::uint16_t high = 0, low = 0xFFFF;
        for (std::uint16_t i = 0; i < BmsSim::kCells; ++i) {
            const std::uint16_t mv = bms.Get(kCellVoltage + i);
            EXPECT_NEAR(mv, 3200, 50) << i << " t " << t;
            EXPECT_NEAR(static_cast<std::int16_t>(bms.Get(kCellTemp + i)), 26, 6) << i;
            sum += mv;
            high = std::max(high, mv);
            low = std::min(low, mv);
        }
        EXPECT_EQ(bms.Get32(0x0008), sum) << "pack voltage, t " << t;
        EXPECT_EQ(bms.Get(0x0011) - bms.Get(0x0012), high - low);
        EXPECT_GE(high - low, 10) << "the cells spread, t " << t;
        const std::int32_t ma = PackMilliamps(bms);
        signs |= (ma > 0 ? 1 : 0) | (ma < 0 ? 2 : 0);
        EXPECT_EQ((bms.Get(0x0022) & 0x0004) != 0, ma < 0) << "discharging flag, t " << t;
        EXPECT_EQ(bms.Get32(0x0026), 0u) << "no protection trips, t " << t;
    }
    EXPECT_EQ(signs, 3) << "the current crosses zero";
    EXPECT_EQ(bms.Get(kCellVoltage + BmsSim::kCells), 0) << "no cell beyond the pack's";
}

TEST(BmsSim, JournalHoldsOlderRecordsThenZeros) {
    const BmsSim bms;
    std::uint32_t previous = 0;
    for (std::uint16_t k = 0; k < kBmsJournalRecords; ++k) {
        const auto at = static_cast<std::uint16_t>(0x7400 + 4 * k);
        const std::uint32_t time = bms.Get32(at);
        const std::uint16_t type = bms.Get(at + 2);
        const std::uint16_t cell = bms.Get(at + 3);
        if (k >= BmsSim::kHistoryRecords) {
            EXPECT_EQ(time | type | cell, 0u) << k;
        } else {
            EXPECT_TRUE(time > previous && time < bms.Get32(0x0030)) << k;
            EXPECT_TRUE(type >= 1 && type <= 20) << k;
            EXPECT_TRUE(type <= 8 ? cell >= 1 && cell <= BmsSim::kCells : cell == 0) << k;
            previous = time;
        }
    }
}

TEST(BmsSim, ProtectionTripsAfterItsDelayAndClearsPastRecovery) {
    struct Case {
        std::uint16_t threshold;  // its recovery follows it
        std::uint16_t tripping[2], restored[2];
        std::uint32_t bit, delay;
        std::uint16_t extreme, cells;  // the register of the worst value, its cell block
        std::uint16_t switches;        // DinDoutStatus while tripped
        std::uint32_t logged;          // SafetyStatusSave
    };
    const Case cases[] = {
        {0x7000, {3000, 2900}, {3650, 3450}, 0, 2, 0x0011, kCellVoltage, 2, 0xFFFFF},
        {0x700C, {10, 5}, {55, 50}, 4, 5, 0x0014, kCellTemp, 0, 0xFFFEF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.threshold);
        BmsSim bms;
        const std::size_t records = bms.JournalRecords();
        bms.Set32(0x6804, c.logged);
        bms.Set(c.threshold, c.tripping[0]);
        bms.Set(c.threshold + 1, c.tripping[1]);
        bms.Advance(10);
        const std::uint32_t flag = 1u << c.bit;
        EXPECT_EQ(bms.Get32(0x0024), flag) << "alert at once";
        bms.Advance(10 + c.delay - 0.5);
        EXPECT_EQ(bms.Get32(0x0026), 0u) << "not before its delay";
        bms.Advance(10 + c.delay + 0.5);
        EXPECT_EQ(bms.Get32(0x0026), flag);
        const bool logged = (c.logged & flag) != 0;
        ASSERT_EQ(bms.JournalRecords(), records + (logged ? 1 : 0));
        const auto at = static_cast<std::uint16_t>(0x7400 + 4 * records);
        if (logged) {
            EXPECT_EQ(bms.Get32(at), bms.Get32(0x0030));
            EXPECT_EQ(bms.Get(at + 2), c.bit + 1);
            EXPECT_EQ(bms.Get(c.cells + bms.Get(at + 3) - 1), bms.Get(c.extreme)) << "worst cell";
        }
        // The switches open on the step after the trip, and the current keeps to them.
        for (double t = 20; t < 200; t += 7) {
            bms.Advance(t);
            EXPECT_EQ(bms.Get(0x002A), c.switches) << t;
            EXPECT_TRUE((c.switches & 1) != 0 || PackMilliamps(bms) <= 0) << "charging, t " << t;
        }
        bms.Set(c.threshold, c.restored[0]);
        bms.Set(c.threshold + 1, c.restored[1]);
        bms.Advance(201);
        EXPECT_EQ(bms.Get32(0x0026), 0u) << "past its recovery";
    }
}

}  // namespace
}  // namespace veltrona::sim
