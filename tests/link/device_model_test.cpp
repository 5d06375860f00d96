#include "link/device_model.h"

#include <gtest/gtest.h>

#include "devices/bms/bms_blocks.h"
#include "devices/charger/charger_blocks.h"
#include "devices/inverter/inverter_blocks.h"

namespace veltrona {
namespace {

TEST(DeviceModel, DeviceTablesBuild) {
    for (const DeviceLayout* entry : {&kChargerLayout, &kInverterLayout, &kBmsLayout}) {
        auto m = BuildDeviceModel(*entry, 7, true);
        ASSERT_NE(m, nullptr) << int{entry->kind};
        EXPECT_EQ(m->kind, entry->kind);
        EXPECT_EQ(m->address, 7);
        EXPECT_TRUE(IsEnabled(*m));
        ASSERT_NE(m->boot, nullptr);
        ASSERT_EQ(m->blocks.size(), entry->blocks.size());
        for (const RegisterBlock& b : m->blocks) {
            EXPECT_EQ(b.write_done_map.size(), b.map_bytes);
            EXPECT_EQ(b.values_to_write.size(), b.count);
        }
    }
    EXPECT_FALSE(IsEnabled(*BuildDeviceModel(kBmsLayout, 1, false)));
}

TEST(DeviceModel, InconsistentTablesFail) {
    const BlockLayout good = {kAccessReadWrite, kPollReadEvery, 0, 200, 25, 100, 100, 2, 2};
    auto builds = [](const BlockLayout& block) {
        const BlockLayout blocks[] = {block};
        return BuildDeviceModel(DeviceLayout{kKindBms, blocks}, 1, true) != nullptr;
    };
    EXPECT_TRUE(builds(good));
    BlockLayout b = good;
    b.read_requests = 3;
    EXPECT_FALSE(builds(b));
    b = good;
    b.write_requests = 1;
    EXPECT_FALSE(builds(b));
    b = good;
    b.map_bytes = 24;
    EXPECT_FALSE(builds(b));
    b = good;
    b.read_chunk = 126;
    EXPECT_FALSE(builds(b));
    b = good;
    b.write_chunk = 124;
    EXPECT_FALSE(builds(b));
    b.access = kAccessRead;
    EXPECT_TRUE(builds(b));
    b = good;
    b.read_chunk = 0;
    EXPECT_FALSE(builds(b));
}

}  // namespace
}  // namespace veltrona
