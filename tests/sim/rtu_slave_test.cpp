#include "sim/rtu_slave.h"

#include <array>
#include <optional>

#include <gtest/gtest.h>

#include "sim/bms_sim.h"
#include "sim/charger_sim.h"
#include "sim/inverter_sim.h"

namespace veltrona::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Bit by bit, independent of the table-driven CRC under test.
std::uint16_t ReferenceCrc(const Bytes& bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

Bytes WithCrc(Bytes frame) {
    const std::uint16_t crc = ReferenceCrc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

bool CrcGood(const Bytes& frame) {
    if (frame.size() < 3) return false;
    Bytes body(frame.begin(), frame.end() - 2);
    return ReferenceCrc(body) == (frame[frame.size() - 2] | frame.back() << 8);
}

Bytes Read(std::uint8_t address, std::uint16_t start, std::uint16_t count) {
    return WithCrc({address, 0x03, static_cast<std::uint8_t>(start >> 8),
                    static_cast<std::uint8_t>(start), static_cast<std::uint8_t>(count >> 8),
                    static_cast<std::uint8_t>(count)});
}

Bytes Write(std::uint8_t address, std::uint16_t start, const std::vector<std::uint16_t>& values) {
    Bytes f{address,
            0x10,
            static_cast<std::uint8_t>(start >> 8),
            static_cast<std::uint8_t>(start),
            0,
            static_cast<std::uint8_t>(values.size()),
            static_cast<std::uint8_t>(2 * values.size())};
    for (auto v : values) {
        f.push_back(static_cast<std::uint8_t>(v >> 8));
        f.push_back(static_cast<std::uint8_t>(v));
    }
    return WithCrc(f);
}

std::uint16_t ReplyWord(const Bytes& reply, std::size_t index) {
    return static_cast<std::uint16_t>(reply[3 + 2 * index] << 8 | reply[4 + 2 * index]);
}

TEST(RtuFramer, CutsRequestsByTheLengthOfTheirFunctionCode) {
    const Bytes read = Read(1, 0x0600, 8);
    const Bytes write = Write(3, 0x3600, {1, 2, 3});
    const Bytes erase = WithCrc({3, 0x20, 0x00});
    const Bytes program = WithCrc({3, 0x21, 0, 1, 0, 0x80, 4, 0x34, 0x12, 0x78, 0x56});
    Bytes stream;
    for (const Bytes* f : {&read, &write, &erase, &program}) {
        stream.insert(stream.end(), f->begin(), f->end());
    }

    RtuFramer at_once;
    EXPECT_EQ(at_once.Push(stream), (std::vector<Bytes>{read, write, erase, program}));
    EXPECT_FALSE(at_once.Pending());

    RtuFramer byte_by_byte;
    std::vector<Bytes> frames;
    for (std::uint8_t b : stream) {
        for (auto& f : byte_by_byte.Push({&b, 1}))
            frames.push_back(f);
    }
    EXPECT_EQ(frames, (std::vector<Bytes>{read, write, erase, program}));
}

TEST(RtuFramer, FindsTheRequestBehindJunkAndDropsBadCrc) {
    const Bytes read = Read(1, 0x0000, 10);
    ASSERT_EQ(read, (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));

    // Bytes that cannot start a frame, then junk that looks like a read of address 5.
    Bytes stream{0x00, 0xFF, 0x01, 0x83, 0x05, 0x03, 0x11};
    stream.insert(stream.end(), read.begin(), read.end());
    RtuFramer framer;
    EXPECT_EQ(framer.Push(stream), std::vector<Bytes>{read});

    Bytes corrupted = read;
    corrupted[5] ^= 0x01;
    RtuFramer bad;
    EXPECT_TRUE(bad.Push(corrupted).empty());
    EXPECT_TRUE(bad.Silence().empty());
    EXPECT_FALSE(bad.Pending());
}

TEST(RtuFramer, SilenceEndsWhatLengthCannot) {
    RtuFramer framer;
    // A torn request waits for its bytes; silence drops it, and the next request is whole.
    const Bytes read = Read(1, 0x0600, 8);
    EXPECT_TRUE(framer.Push(Bytes(read.begin(), read.begin() + 5)).empty());
    EXPECT_TRUE(framer.Pending());
    EXPECT_TRUE(framer.Silence().empty());
    EXPECT_EQ(framer.Push(read), std::vector<Bytes>{read});

    // A function code of unknown length is complete only when the line falls silent.
    const Bytes unknown = WithCrc({1, 0x2B, 0x0E, 0x01, 0x00});
    EXPECT_TRUE(framer.Push(unknown).empty());
    EXPECT_EQ(framer.Silence(), unknown);
}

class RtuSlaveTest : public ::testing::Test {
  protected:
    RtuSlaveTest() {
        slave.Attach(DeviceId::kCharger, charger, 1);
        slave.Attach(DeviceId::kInverter, inverter, 3);
        slave.Attach(DeviceId::kBms, bms, 3);
    }
    Bytes Ask(const Bytes& request, double seconds = 1.0) {
        Bytes reply = slave.Handle(request, switches, seconds);
        if (!reply.empty()) {
            EXPECT_NE(CrcGood(reply), switches.corrupt_crc);
        }
        return reply;
    }
    Bytes Exception(std::uint8_t address, std::uint8_t function, std::uint8_t code) {
        return WithCrc({address, static_cast<std::uint8_t>(function | 0x80), code});
    }

    ChargerSim charger;
    InverterSim inverter;
    BmsSim bms;
    RtuSlave slave;
    SimSwitches switches;
};

TEST_F(RtuSlaveTest, ReadsBlocksAndRefusesEverythingOutsideThem) {
    const Bytes live = Ask(Read(1, 0x0600, 64));
    ASSERT_EQ(live.size(), 5u + 128u);
    EXPECT_EQ(live[2], 128);
    EXPECT_NEAR(ReplyWord(live, 0x13), 23000, 200);  // mains voltage, 2 decimals

    EXPECT_EQ(Ask(Read(1, 0x0640, 1)), Exception(1, 0x03, 2));
    EXPECT_EQ(Ask(Read(1, 0x063F, 2)), Exception(1, 0x03, 2));  // runs past the block
    EXPECT_EQ(Ask(Read(1, 0x0600, 0)), Exception(1, 0x03, 3));
    EXPECT_EQ(Ask(Read(1, 0x0032, 126)), Exception(1, 0x03, 3));
    EXPECT_EQ(Ask(WithCrc({1, 0x04, 0, 0, 0, 1})), Exception(1, 0x04, 1));
    EXPECT_TRUE(Ask(Read(2, 0x0600, 8)).empty());
    Bytes bad = Read(1, 0x0600, 8);
    bad.back() ^= 0x40;
    EXPECT_TRUE(Ask(bad).empty());  // the framer drops it; the slave refuses it as well
}

TEST_F(RtuSlaveTest, SharedAddressGoesToTheSmallestBlockHoldingTheRange) {
    // Inverter identification (13 registers) against BMS status (50), both at 0.
    const Bytes ident = Ask(Read(3, 0x0000, 13));
    ASSERT_EQ(ident.size(), 5u + 26u);
    EXPECT_EQ(ReplyWord(ident, 0), 3);  // the inverter's device type
    const Bytes status = Ask(Read(3, 0x0000, 50));
    ASSERT_EQ(status.size(), 5u + 100u);
    EXPECT_EQ(ReplyWord(status, 2), BmsSim::kCells);  // design cell number
    const Bytes tail = Ask(Read(3, 0x000D, 2));
    ASSERT_EQ(tail.size(), 9u);
    EXPECT_EQ(ReplyWord(tail, 0), 0);  // PackCurrentLeakage: only the BMS holds 0x000D
    EXPECT_EQ(Ask(Read(3, 0x0000, 51)), Exception(3, 0x03, 2));

    switches.muted[static_cast<std::size_t>(DeviceId::kInverter)] = true;
    EXPECT_EQ(ReplyWord(Ask(Read(3, 0x0000, 13)), 2), BmsSim::kCells);
    switches.muted[static_cast<std::size_t>(DeviceId::kBms)] = true;
    EXPECT_TRUE(Ask(Read(3, 0x0000, 13)).empty());
}

TEST_F(RtuSlaveTest, WritesAreStoredAndReadBack) {
    const Bytes request = Write(1, 0x2805, {0x1234, 0xBEEF});
    EXPECT_EQ(Ask(request), WithCrc({1, 0x10, 0x28, 0x05, 0x00, 0x02}));
    const Bytes back = Ask(Read(1, 0x2804, 4));
    EXPECT_EQ(ReplyWord(back, 0), 56);
    EXPECT_EQ(ReplyWord(back, 1), 0x1234);
    EXPECT_EQ(ReplyWord(back, 2), 0xBEEF);

    EXPECT_EQ(Ask(Write(1, 0x0600, {1})), Exception(1, 0x10, 2));  // read-only live block
    Bytes mismatched = Write(1, 0x2800, {1, 2});
    mismatched[5] = 1;  // count 1 with a byte count of 4
    EXPECT_EQ(Ask(WithCrc(Bytes(mismatched.begin(), mismatched.end() - 2))), Exception(1, 0x10, 3));
}

TEST_F(RtuSlaveTest, CommandsChangeTheLiveValues) {
    EXPECT_EQ(ReplyWord(Ask(Read(1, 0x0616, 1), 10), 0), 1);
    Ask(Write(1, 0x000A, {2, 0}), 20);
    const Bytes off = Ask(Read(1, 0x060E, 11), 30);
    EXPECT_EQ(ReplyWord(off, 0), 2);   // answered command
    EXPECT_EQ(ReplyWord(off, 1), 1);   // done
    EXPECT_EQ(ReplyWord(off, 8), 0);   // not charging
    EXPECT_EQ(ReplyWord(off, 10), 0);  // no stage

    EXPECT_EQ(ReplyWord(Ask(Read(3, 0x0007, 1)), 0) & 0x0008, 0x0008);
    Ask(Write(3, 0x000A, {12, 0, 0}));
    EXPECT_EQ(ReplyWord(Ask(Read(3, 0x0007, 1)), 0) & 0x0008, 0);
}

TEST_F(RtuSlaveTest, ValuesMoveWithTime) {
    auto capacity = [&](double t) {
        const Bytes r = Ask(Read(1, 0x063A, 2), t);
        return ReplyWord(r, 0) | ReplyWord(r, 1) << 16;
    };
    // The constant-current stage: 25 A for ten minutes is 4.167 A*h, at 3 decimals.
    const std::uint32_t at_600 = capacity(600);
    EXPECT_EQ(capacity(1200) - at_600, 4'167u);

    for (double t : {0.0, 17.0, 1234.5}) {
        const Bytes cells = Ask(Read(3, 0x0032, BmsSim::kCells), t);
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < BmsSim::kCells; ++i) {
            EXPECT_NEAR(ReplyWord(cells, i), 3200, 40);
            sum += ReplyWord(cells, i);
        }
        const Bytes status = Ask(Read(3, 0x0000, 50), t);  // 50 registers: the BMS
        EXPECT_EQ(ReplyWord(status, 8) | ReplyWord(status, 9) << 16, sum);
    }
    EXPECT_NE(Ask(Read(3, 0x0032, BmsSim::kCells), 1), Ask(Read(3, 0x0032, BmsSim::kCells), 4));
    EXPECT_NE(Ask(Read(3, 0x0700, 26), 1), Ask(Read(3, 0x0700, 26), 4));
}

TEST_F(RtuSlaveTest, LoaderCodesAnswerOnlyFromTheInverter) {
    EXPECT_EQ(Ask(WithCrc({3, 0x30, 0x01})), WithCrc({3, 0x30, 0x01}));
    EXPECT_EQ(Ask(WithCrc({3, 0x20, 0x00})), WithCrc({3, 0x20, 0x00, 0x01}));
    EXPECT_EQ(Ask(WithCrc({3, 0x31, 0x01})), WithCrc({3, 0x31, 0x01, 0x01}));
    const Bytes reply = Ask(WithCrc({3, 0x21, 0, 1, 0, 0x80, 2, 0x34, 0x12}));
    ASSERT_GE(reply.size(), 4u);
    EXPECT_EQ(reply[1], 0x21);
    EXPECT_EQ(Ask(WithCrc({1, 0x30, 0x01})), Exception(1, 0x30, 1));
}

TEST_F(RtuSlaveTest, SwitchesBendTheReplies) {
    switches.exceptions.push_back({0x0600, 0x063F, 4});
    EXPECT_EQ(Ask(Read(1, 0x0638, 8)), Exception(1, 0x03, 4));
    EXPECT_EQ(Ask(Read(1, 0x0000, 8)).size(), 21u);

    switches.reply_address = 5;
    EXPECT_EQ(Ask(Read(1, 0x0000, 1)), WithCrc({5, 0x03, 2, 0, 2}));
    EXPECT_TRUE(Ask(Read(5, 0x0000, 1)).empty());  // answering from 5 is not being 5

    switches.corrupt_crc = true;
    const Bytes corrupted = Ask(Read(1, 0x0000, 1));
    ASSERT_EQ(corrupted.size(), 7u);
    EXPECT_FALSE(CrcGood(corrupted));
}

// A link write answered at the old address moves the charger; a refused one leaves it.
TEST(RtuSlaveLink, ChargerTakesAValidLinkSetAfterItsReply) {
    struct Case {
        std::uint16_t start;
        std::vector<std::uint16_t> values;
        std::optional<LinkSettings> taken;   // none: refused with exception 3
        std::array<std::uint16_t, 3> shown;  // the link registers afterwards
    };
    constexpr std::array<std::uint16_t, 3> kUnchanged{1, 4, 0};
    const Case cases[] = {
        {0x2000,
         {17, 0, 0x0201},
         LinkSettings{17, 9600, Parity::kOdd, StopBits::kTwo},
         {17, 0, 0x0201}},
        {0x2000,
         {247, 3, 0x0102},
         LinkSettings{247, 57600, Parity::kEven, StopBits::kOneAndHalf},
         {247, 3, 0x0102}},
        {0x2001, {5}, LinkSettings{1, 230400, Parity::kNone, StopBits::kOne}, {1, 5, 0}},
        {0x2000, {0, 4, 0}, std::nullopt, kUnchanged},
        {0x2000, {248, 4, 0}, std::nullopt, kUnchanged},
        {0x2001, {6}, std::nullopt, kUnchanged},
        {0x2002, {0x0300}, std::nullopt, kUnchanged},
        {0x2002, {0x0003}, std::nullopt, kUnchanged},
        {0x2000, {2, 4, 0x0003}, std::nullopt, kUnchanged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.start << " " << c.values[0]);
        ChargerSim charger;
        RtuSlave slave;
        slave.Attach(DeviceId::kCharger, charger, 1);
        const SimSwitches switches;
        const Bytes reply = slave.Handle(Write(1, c.start, c.values), switches, 1);
        const LinkSettings after = c.taken.value_or(LinkSettings{});
        EXPECT_EQ(slave.TakeLineChange(), c.taken);
        EXPECT_EQ(slave.Address(DeviceId::kCharger), after.address);
        if (!c.taken) {
            EXPECT_EQ(reply, WithCrc({1, 0x90, 3}));
        } else {
            EXPECT_EQ(reply, WithCrc({1, 0x10, 0x20, static_cast<std::uint8_t>(c.start), 0,
                                      static_cast<std::uint8_t>(c.values.size())}));
        }
        EXPECT_EQ(slave.Handle(Read(1, 0x0000, 1), switches, 2).empty(), after.address != 1);
        EXPECT_FALSE(slave.TakeLineChange());
        const Bytes link = slave.Handle(Read(after.address, 0x2000, 3), switches, 3);
        ASSERT_EQ(link.size(), 11u);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(ReplyWord(link, i), c.shown[i]) << i;
    }
}

TEST_F(RtuSlaveTest, LinkAdoptNowLeavesTheWriteUnanswered) {
    switches.link_adopt_now = true;
    EXPECT_EQ(Ask(Write(1, 0x2000, {0, 4, 0})), Exception(1, 0x10, 3));  // still refused
    EXPECT_TRUE(Ask(Write(1, 0x2000, {9, 4, 0})).empty());
    EXPECT_EQ(slave.Address(DeviceId::kCharger), 9);
    EXPECT_TRUE(Ask(Read(1, 0x0000, 1)).empty());
    EXPECT_EQ(Ask(Read(9, 0x0000, 1)), WithCrc({9, 0x03, 2, 0, 2}));
    EXPECT_EQ(slave.Address(DeviceId::kInverter), 3);

    // A test's exception rule answers before the device can take anything.
    switches.exceptions.push_back({0x2000, 0x2002, 6});
    EXPECT_EQ(Ask(Write(9, 0x2000, {10, 4, 0})), Exception(9, 0x10, 6));
    EXPECT_EQ(slave.Address(DeviceId::kCharger), 9);
}

}  // namespace
}  // namespace veltrona::sim
