// BMS view record: fresh registers by storage code into the block sets, the value column's
// texts, and availability.

#include "devices/bms/bms_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/bus_devices.h"
#include "link/value_format.h"

namespace veltrona {
namespace {

class BmsViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateBmsModel(list, 4));
        model = list.At(kBmsIndex);
    }

    // A read reply of the words from start, as the parser stores it, taken into the view.
    void Receive(std::uint16_t start, const std::vector<std::uint16_t>& words) {
        const auto where = BmsLocate(start);
        model->current_block = where->block;
        RegisterBlock& block = model->blocks[where->block];
        for (std::size_t k = 0; k < words.size(); ++k) {
            block.values_read[where->index + k] = words[k];
            SetBit(block.fresh_map, where->index + k);
        }
        TakeReceivedValues(*model, view);
    }

    DeviceList list;
    DeviceModel* model = nullptr;
    BmsView view;
};

TEST_F(BmsViewTest, FreshRegistersGoIntoTheirBlockSetsAndShowByDescriptor) {
    model->blocks[kBmsBlockStatus].values_read[2] = 16;  // read, but not fresh
    Receive(0x0008, {0xFFFF, 0x0001, 0xFFFF, 0xFFFF});
    std::vector<std::uint16_t> cells(75, 3100);
    cells.back() = 3174;
    Receive(0x00AF, cells);  // cell 199 comes in the second request
    Receive(0x7400 + 4 * 767, {0x9D80, 0x259E, 15, 7});
    EXPECT_EQ(view.status[2], 0);
    EXPECT_FALSE(TestBit(model->blocks[kBmsBlockJournal].fresh_map, 3068));
    struct Case {
        std::uint16_t block;
        std::size_t index;
        std::string text;
    };
    const Case cases[] = {
        {kBmsBlockStatus, 8, ""},        {kBmsBlockStatus, 9, "131.071"},
        {kBmsBlockStatus, 11, "-0.001"}, {kBmsBlockCellVoltage, 199, "3.174"},
        {kBmsBlockJournal, 3068, ""},    {kBmsBlockJournal, 3069, "631152000"},
        {kBmsBlockJournal, 3072, ""},
    };
    for (const Case& c : cases) {
        const RegisterDescriptor* descriptor = BmsDescriptor(c.block, c.index);
        const std::string text =
            descriptor != nullptr
                ? FormatRegister(*descriptor, BmsReceivedSet(view, c.block), c.index, '.')
                : std::string();
        EXPECT_EQ(text, c.text) << c.block << ' ' << c.index;
    }
}

// A miss short of the unreachable mark changes nothing; the mark stops the copying.
TEST_F(BmsViewTest, NotAvailableFollowsTheUnreachableMark) {
    MarkBmsPortOpened(view);
    model->failures = 1;
    TakeReceivedValues(*model, view);
    EXPECT_TRUE(view.not_available) << "absent since the port opened";
    model->failures = 0;
    Receive(0x6800, {4, 4, 0});
    EXPECT_FALSE(view.not_available);
    EXPECT_EQ(view.availability_changed, 1);
    model->failures = 1;
    TakeReceivedValues(*model, view);
    EXPECT_FALSE(view.not_available);
    model->transaction.state |= kStateUnreachable;
    Receive(0x6800, {9, 9, 9});
    EXPECT_TRUE(view.not_available);
    EXPECT_EQ(view.availability_changed, 1);
    EXPECT_EQ(view.link[0], 4);
}

}  // namespace
}  // namespace veltrona
