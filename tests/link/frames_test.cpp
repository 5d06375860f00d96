// RTU frames, CRC and function codes, with the length and range checks of link/frames.h.

#include "link/frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

namespace veltrona {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------------------------
// Helpers

// Bit-by-bit CRC-16/MODBUS, independent of the table the implementation uses.
std::uint16_t ReferenceCrc(const Bytes& bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

// The bytes with their CRC appended, low byte first.
Bytes WithCrc(Bytes bytes) {
    const std::uint16_t crc = ReferenceCrc(bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

FrameSlot Slot(const Bytes& bytes) {
    FrameSlot slot;
    std::copy(bytes.begin(), bytes.end(), slot.data);
    slot.length = static_cast<std::uint16_t>(bytes.size());
    slot.ready = true;
    return slot;
}

Bytes Sent(const FrameSlot& slot) {
    return Bytes(slot.data, slot.data + slot.length);
}

// A read reply: address, 0x03, byte count, the values high byte first, CRC.
Bytes ReadReply(std::uint8_t address, std::uint8_t byte_count,
                const std::vector<std::uint16_t>& values) {
    Bytes b{address, 0x03, byte_count};
    for (std::uint16_t v : values) {
        b.push_back(static_cast<std::uint8_t>(v >> 8));
        b.push_back(static_cast<std::uint8_t>(v));
    }
    return WithCrc(b);
}

Bytes ReadReply(std::uint8_t address, const std::vector<std::uint16_t>& values) {
    return ReadReply(address, static_cast<std::uint8_t>(2 * values.size()), values);
}

std::vector<std::uint16_t> Ramp(std::size_t count, std::uint16_t first) {
    std::vector<std::uint16_t> v(count);
    for (std::size_t i = 0; i < count; ++i)
        v[i] = static_cast<std::uint16_t>(first + 0x0101 * i);
    return v;
}

// A small device: four blocks of the kind the register maps build.
//   0: registers 0x0000..0x0013 (20)
//   1: registers 0x0100..0x0181 (130), chunks at the largest the slots allow
//   2: registers 0x0060..0x007F (32)
//   3: registers 0xFFF8..0xFFFF and, by its count, 8 more that no 16-bit address names
constexpr BlockLayout kBlocks[] = {
    {kAccessReadWrite, kPollReadEvery, 0x0000, 20, 3, 10, 10, 2, 2},
    {kAccessReadWrite, kPollReadEvery, 0x0100, 130, 17, 125, 123, 2, 2},
    {kAccessReadWrite, kPollReadEvery, 0x0060, 32, 4, 32, 32, 1, 1},
    {kAccessReadWrite, kPollReadEvery, 0xFFF8, 16, 2, 16, 16, 1, 1},
};

std::unique_ptr<DeviceModel> MakeModel(std::uint8_t address) {
    auto model = BuildDeviceModel(DeviceLayout{kKindInverter, kBlocks}, address, true);
    if (model == nullptr) ADD_FAILURE() << "BuildDeviceModel refused the test table";
    return model;
}

void SetRequest(DeviceModel& m, std::uint8_t op, std::uint32_t start, std::uint16_t count,
                std::uint16_t block = 0) {
    m.transaction.operation = op;
    m.transaction.start = start;
    m.transaction.count = count;
    m.current_block = block;
}

bool Awaiting(const DeviceModel& m) {
    return (m.transaction.state & kStateAwaitingReply) != 0;
}
void SetAwaiting(DeviceModel& m) {
    m.transaction.state |= kStateAwaitingReply;
}

// Everything ParseReply may change, for "nothing changed" checks (the exception code and the
// awaiting-reply bit are compared separately where the test expects them to differ).
struct Snapshot {
    std::vector<RegisterBlock> blocks;
    BootRecord boot;
    std::uint8_t state;
    std::uint8_t exception;

    explicit Snapshot(const DeviceModel& m)
        : blocks(m.blocks),
          boot(CopyBoot(m)),
          state(m.transaction.state),
          exception(m.transaction.exception) {}

    static BootRecord CopyBoot(const DeviceModel& m) {
        return m.boot != nullptr ? *m.boot : BootRecord{};
    }
};

bool SameBlock(const RegisterBlock& a, const RegisterBlock& b) {
    return a.last_write_result == b.last_write_result && a.reserved_map == b.reserved_map &&
           a.fresh_map == b.fresh_map && a.changed_map == b.changed_map &&
           a.edit_map == b.edit_map && a.write_request_map == b.write_request_map &&
           a.write_done_map == b.write_done_map && a.values_read == b.values_read &&
           a.values_to_write == b.values_to_write;
}

bool SameBoot(const BootRecord& a, const BootRecord& b) {
    return a.loader_result == b.loader_result &&
           std::equal(std::begin(a.info1), std::end(a.info1), std::begin(b.info1)) &&
           std::equal(std::begin(a.info2), std::end(a.info2), std::begin(b.info2)) &&
           a.image == b.image;
}

// True when blocks and bootloader record are as in the snapshot.
bool DataUnchanged(const DeviceModel& m, const Snapshot& s) {
    if (m.blocks.size() != s.blocks.size()) return false;
    for (std::size_t i = 0; i < m.blocks.size(); ++i) {
        if (!SameBlock(m.blocks[i], s.blocks[i])) return false;
    }
    return SameBoot(m.boot != nullptr ? *m.boot : BootRecord{}, s.boot);
}

// True when nothing at all changed, exception code and state bits included.
bool NothingChanged(const DeviceModel& m, const Snapshot& s) {
    return DataUnchanged(m, s) && m.transaction.state == s.state &&
           m.transaction.exception == s.exception;
}

// Puts recognisable values into a block so that untouched registers can be told apart.
void Prefill(RegisterBlock& b) {
    for (std::size_t i = 0; i < b.count; ++i) {
        b.values_read[i] = static_cast<std::uint16_t>(0xA000 + i);
        b.values_to_write[i] = static_cast<std::uint16_t>(0xB000 + i);
    }
}

// Libmodbus 3.1.6 frames, captured from modbus_read_registers / modbus_write_registers /
// modbus_reply / modbus_reply_exception on a pseudo-terminal: an independent check of the CRC.
const Bytes kLibmodbusRead1_0_10 = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
const Bytes kLibmodbusRead1_0_1 = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
const Bytes kLibmodbusRead17_6B_3 = {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87};
const Bytes kLibmodbusRead3_0_11 = {0x03, 0x03, 0x00, 0x00, 0x00, 0x0B, 0x05, 0xEF};
const Bytes kLibmodbusRead3_1098_18 = {0x03, 0x03, 0x10, 0x98, 0x00, 0x12, 0x41, 0x0A};
const Bytes kLibmodbusWrite17_1_2 = {0x11, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04,
                                     0x00, 0x0A, 0x01, 0x02, 0xC6, 0xF0};
const Bytes kLibmodbusWrite3_105_3 = {0x03, 0x10, 0x01, 0x05, 0x00, 0x03, 0x06, 0x12,
                                      0x34, 0xBE, 0xEF, 0x00, 0x01, 0x93, 0x85};
const Bytes kLibmodbusWriteReply3_105_3 = {0x03, 0x10, 0x01, 0x05, 0x00, 0x03, 0x90, 0x17};
const Bytes kLibmodbusException1_03_2 = {0x01, 0x83, 0x02, 0xC0, 0xF1};
const Bytes kLibmodbusException3_10_4 = {0x03, 0x90, 0x04, 0xEC, 0x03};
const Bytes kLibmodbusReadReply1_0_10 = {0x01, 0x03, 0x14, 0x11, 0x00, 0x12, 0x01, 0x13, 0x02,
                                         0x14, 0x03, 0x15, 0x04, 0x16, 0x05, 0x17, 0x06, 0x18,
                                         0x07, 0x19, 0x08, 0x1A, 0x09, 0xAD, 0x30};

// ---------------------------------------------------------------------------------------------
// CRC

TEST(Crc16, CheckValueOf123456789) {
    constexpr std::string_view text = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), 0x4B37);
}

TEST(Crc16, EmptyInputGivesInitialValue) {
    EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);
}

TEST(Crc16, SecondTableEntryIsC0C1) {
    // From 0xFFFF, byte 0xFE selects table index (0xFFFF ^ 0xFE) & 0xFF = 1:
    // crc = 0x00FF ^ table[1].
    const std::uint8_t b = 0xFE;
    EXPECT_EQ(Crc16(&b, 1), 0x00FF ^ 0xC0C1);
    // Index 0 for comparison: 0x00FF ^ table[0] = 0x00FF.
    const std::uint8_t z = 0xFF;
    EXPECT_EQ(Crc16(&z, 1), 0x00FF);
}

TEST(Crc16, MatchesBitwiseReference) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t length = 0; length <= 300; ++length) {
        Bytes data(length);
        for (auto& b : data) {
            b = static_cast<std::uint8_t>(byte(random));
        }
        ASSERT_EQ(Crc16(data.data(), data.size()), ReferenceCrc(data)) << "length " << length;
    }
}

TEST(Crc16, LibmodbusFramesCheck) {
    for (const Bytes* f :
         {&kLibmodbusRead1_0_10, &kLibmodbusRead1_0_1, &kLibmodbusRead17_6B_3,
          &kLibmodbusRead3_0_11, &kLibmodbusRead3_1098_18, &kLibmodbusWrite17_1_2,
          &kLibmodbusWrite3_105_3, &kLibmodbusWriteReply3_105_3, &kLibmodbusException1_03_2,
          &kLibmodbusException3_10_4, &kLibmodbusReadReply1_0_10}) {
        EXPECT_TRUE(CheckCrc(f->data(), f->size()));
        for (std::size_t bit = 0; bit < 8 * f->size(); ++bit) {
            Bytes bad = *f;
            bad[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
            EXPECT_FALSE(CheckCrc(bad.data(), bad.size())) << "bit " << bit;
        }
    }
}

TEST(CheckCrc, FramesShorterThanThreeBytesFail) {
    EXPECT_FALSE(CheckCrc(nullptr, 0));
    EXPECT_FALSE(CheckCrc(nullptr, 8));
    const std::uint8_t one[] = {0x01};
    EXPECT_FALSE(CheckCrc(one, 1));  // a frame of one byte fails the CRC check
    // Two bytes that happen to be the CRC of nothing still fail.
    const std::uint8_t two[] = {0xFF, 0xFF};
    EXPECT_FALSE(CheckCrc(two, 2));
    const Bytes three = WithCrc({0x01});
    EXPECT_TRUE(CheckCrc(three.data(), three.size()));
}

// ---------------------------------------------------------------------------------------------
// BuildRequest, every operation code

TEST(BuildRequest, ReadPartExample) {
    auto m = MakeModel(1);
    SetRequest(*m, kOpRead, 0x0000, 10);
    FrameSlot slot;
    BuildRequest(*m, slot);
    EXPECT_EQ(Sent(slot), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_TRUE(Awaiting(*m));
}

TEST(BuildRequest, ReadMatchesLibmodbus) {
    auto m = MakeModel(1);
    FrameSlot slot;
    SetRequest(*m, kOpRead, 0x0000, 1);
    BuildRequest(*m, slot);
    EXPECT_EQ(Sent(slot), kLibmodbusRead1_0_1);

    SetBusAddress(*m, 17);
    SetRequest(*m, kOpRead, 0x006B, 3, 2);
    BuildRequest(*m, slot);
    EXPECT_EQ(Sent(slot), kLibmodbusRead17_6B_3);
}

TEST(BuildRequest, ReadTouchesNoBlockData) {
    auto m = MakeModel(1);
    Prefill(m->blocks[0]);
    SetBit(m->blocks[0].write_done_map, 3);
    const Snapshot before(*m);
    SetRequest(*m, kOpRead, 0x0002, 5);
    FrameSlot slot;
    BuildRequest(*m, slot);
    EXPECT_EQ(slot.length, 8);
    EXPECT_TRUE(DataUnchanged(*m, before));
}

TEST(BuildRequest, WriteMatchesLibmodbus) {
    auto m = MakeModel(17);
    m->blocks[0].values_to_write[1] = 0x000A;
    m->blocks[0].values_to_write[2] = 0x0102;
    SetRequest(*m, kOpWrite, 0x0001, 2, 0);
    FrameSlot slot;
    BuildRequest(*m, slot);
    EXPECT_EQ(Sent(slot), kLibmodbusWrite17_1_2);
    EXPECT_TRUE(Awaiting(*m));

    auto m3 = MakeModel(3);
    RegisterBlock& b = m3->blocks[1];
    b.values_to_write[5] = 0x1234;  // register 0x0105 = base 0x0100 + 5
    b.values_to_write[6] = 0xBEEF;
    b.values_to_write[7] = 0x0001;
    SetRequest(*m3, kOpWrite, 0x0105, 3, 1);
    BuildRequest(*m3, slot);
    EXPECT_EQ(Sent(slot), kLibmodbusWrite3_105_3);
}

TEST(BuildRequest, WriteClearsWriteDoneBitsOfItsRegistersOnly) {
    auto m = MakeModel(1);
    RegisterBlock& b = m->blocks[0];
    Prefill(b);
    for (std::size_t i = 0; i < b.count; ++i) {
        SetBit(b.write_done_map, i);
        SetBit(b.write_request_map, i);
    }
    SetRequest(*m, kOpWrite, 0x0004, 6, 0);
    FrameSlot slot;
    BuildRequest(*m, slot);
    ASSERT_EQ(slot.length, 9 + 2 * 6);
    EXPECT_EQ(slot.data[6], 12);  // byte count
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(slot.data[7 + 2 * k], 0xB0);
        EXPECT_EQ(slot.data[8 + 2 * k], 0x04 + k);  // values_to_write[4 + k], high byte first
    }
    EXPECT_TRUE(CheckCrc(slot.data, slot.length));
    for (std::size_t i = 0; i < b.count; ++i) {
        EXPECT_EQ(TestBit(b.write_done_map, i), i < 4 || i >= 10) << i;
        EXPECT_TRUE(TestBit(b.write_request_map, i)) << i;  // only replies clear these
    }
}

TEST(BuildRequest, BootReadMatchesLibmodbus) {
    auto m = MakeModel(3);
    SetRequest(*m, kOpBootRead, 0x0000, 11, kBootBlock);
    m->boot->buffer_selector = 0;
    FrameSlot slot;
    BuildRequest(*m, slot);
    EXPECT_EQ(Sent(slot), kLibmodbusRead3_0_11);
    EXPECT_TRUE(Awaiting(*m));

    SetRequest(*m, kOpBootRead, 0x1098, 18, kBootBlock);
    m->boot->buffer_selector = 1;
    BuildRequest(*m, slot);
    EXPECT_EQ(Sent(slot), kLibmodbusRead3_1098_18);
}

TEST(BuildRequest, EraseOpenClose) {
    auto m = MakeModel(3);
    FrameSlot slot;
    struct Case {
        std::uint8_t op;
        Bytes body;
    };
    for (const Case& c :
         {Case{kOpFlashErase, {0x03, 0x20, 0x00}}, Case{kOpDeviceOpen, {0x03, 0x30, 0x01}},
          Case{kOpDeviceClose, {0x03, 0x31, 0x01}}}) {
        m->transaction.state = kStateEnabled;
        SetRequest(*m, c.op, 0, 0, kBootBlock);
        BuildRequest(*m, slot);
        EXPECT_EQ(Sent(slot), WithCrc(c.body)) << int(c.op);
        EXPECT_TRUE(Awaiting(*m)) << int(c.op);
    }
}

TEST(BuildRequest, ProgramPartExample) {
    auto m = MakeModel(3);
    BootRecord& boot = *m->boot;
    boot.program_base = 0x00010000;
    boot.image.assign(100, 0);
    boot.image[64] = 0x1234;
    boot.image[65] = 0xABCD;
    SetRequest(*m, kOpFlashProgram, 0x00010000 + 64, 2, kBootBlock);
    FrameSlot slot;
    BuildRequest(*m, slot);
    EXPECT_EQ(Sent(slot),
              WithCrc({0x03, 0x21, 0x00, 0x01, 0x00, 0x80, 0x04, 0x34, 0x12, 0xCD, 0xAB}));
    EXPECT_EQ(slot.length, 9 + 2 * 2);
    EXPECT_TRUE(Awaiting(*m));
}

TEST(BuildRequest, UnknownOperationSendsNothing) {
    auto m = MakeModel(1);
    for (int op : {0, 1, 2, 4, 11, 13, 16, 25, 27, 31, 36, 0x03 | 0x80, 255}) {
        SetRequest(*m, static_cast<std::uint8_t>(op), 0, 10, 0);
        m->transaction.state = kStateEnabled | kStateAwaitingReply;  // left from an old request
        FrameSlot slot;
        slot.length = 99;
        BuildRequest(*m, slot);
        EXPECT_EQ(slot.length, 0) << op;
        EXPECT_FALSE(Awaiting(*m)) << op;
        EXPECT_EQ(m->transaction.state, kStateEnabled) << op;  // other state bits kept
    }
}

// ---------------------------------------------------------------------------------------------
// ParseReply, every operation code

TEST(ParseReply, ReadStoresValuesAndSetsFreshAndChangedBits) {
    auto m = MakeModel(1);
    RegisterBlock& b = m->blocks[0];
    Prefill(b);
    b.values_read[3] = 0x1203;  // the reply brings the same value here: fresh, not changed
    SetRequest(*m, kOpRead, 0x0002, 4);
    FrameSlot tx;
    BuildRequest(*m, tx);
    ASSERT_TRUE(Awaiting(*m));
    m->transaction.exception = 9;
    const std::vector<std::uint16_t> values = {0x1102, 0x1203, 0x1304, 0x1405};
    EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(1, values))));
    EXPECT_FALSE(Awaiting(*m));
    EXPECT_EQ(m->transaction.exception, 0);
    for (std::size_t i = 0; i < b.count; ++i) {
        const bool in = i >= 2 && i < 6;
        EXPECT_EQ(TestBit(b.fresh_map, i), in) << i;
        EXPECT_EQ(TestBit(b.changed_map, i), in && i != 3) << i;
        EXPECT_EQ(b.values_read[i], in ? values[i - 2] : 0xA000 + i) << i;
    }
}

TEST(ParseReply, ReadReplyFromLibmodbus) {
    auto m = MakeModel(1);
    SetRequest(*m, kOpRead, 0x0000, 10);
    FrameSlot tx;
    BuildRequest(*m, tx);
    EXPECT_TRUE(ParseReply(*m, Slot(kLibmodbusReadReply1_0_10)));
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(m->blocks[0].values_read[i], 0x1100 + 0x0101 * i);
    }
}

TEST(ParseReply, ReadExceptionPartExample) {
    auto m = MakeModel(1);
    Prefill(m->blocks[0]);
    SetRequest(*m, kOpRead, 0x0000, 10);
    FrameSlot tx;
    BuildRequest(*m, tx);
    const Snapshot before(*m);
    EXPECT_TRUE(ParseReply(*m, Slot({0x01, 0x83, 0x02, 0xC0, 0xF1})));
    EXPECT_EQ(m->transaction.exception, 2);
    EXPECT_FALSE(Awaiting(*m));
    EXPECT_TRUE(DataUnchanged(*m, before));
}

TEST(ParseReply, ReadByteCountDisagreeingWithCountIsReadAsCount) {
    for (std::uint8_t byte_count : {0x00, 0x02, 0x07, 0x50, 0xFF}) {
        auto m = MakeModel(1);
        SetRequest(*m, kOpRead, 0x0000, 4);
        FrameSlot tx;
        BuildRequest(*m, tx);
        EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(1, byte_count, Ramp(4, 0x0101)))));
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(m->blocks[0].values_read[i], 0x0101 + 0x0101 * i);
            EXPECT_TRUE(TestBit(m->blocks[0].fresh_map, i));
        }
        EXPECT_FALSE(TestBit(m->blocks[0].fresh_map, 4));
    }
}

// Frames that do not belong to a read of 2 registers at address 1, though their CRC checks.
TEST(ParseReply, FramesThatAreNoReplyToTheReadChangeNothing) {
    const Bytes foreign[] = {
        ReadReply(1, Ramp(5, 0x0100)),                        // longer than 5 + 2N
        WithCrc({0x01, 0x83, 0x02, 0x00}),                    // exception longer than 5
        WithCrc({0x01, 0x10, 0x04, 0x12, 0x34, 0x56, 0x78}),  // read layout, function 0x10
        WithCrc({0x01, 0x04, 0x04, 0x12, 0x34, 0x56, 0x78}),  // function 0x04
        WithCrc({0x01, 0x84, 0x02}),                          // exception of another function
    };
    for (const Bytes& frame : foreign) {
        auto m = MakeModel(1);
        Prefill(m->blocks[0]);
        SetRequest(*m, kOpRead, 0x0000, 2);
        FrameSlot tx;
        BuildRequest(*m, tx);
        const Snapshot before(*m);
        EXPECT_FALSE(ParseReply(*m, Slot(frame))) << int(frame[1]) << " " << frame.size();
        EXPECT_TRUE(NothingChanged(*m, before)) << int(frame[1]) << " " << frame.size();
        EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(1, Ramp(2, 0x0100))))) << "then the reply";
    }
}

TEST(ParseReply, WriteReplyEndsTheWrite) {
    auto m = MakeModel(3);
    RegisterBlock& b = m->blocks[1];
    Prefill(b);
    for (std::size_t i = 0; i < b.count; ++i)
        SetBit(b.write_request_map, i);
    b.last_write_result = 4;
    SetRequest(*m, kOpWrite, 0x0105, 3, 1);
    b.values_to_write[5] = 0x1234;
    b.values_to_write[6] = 0xBEEF;
    b.values_to_write[7] = 0x0001;
    FrameSlot tx;
    BuildRequest(*m, tx);
    ASSERT_EQ(Sent(tx), kLibmodbusWrite3_105_3);
    EXPECT_TRUE(ParseReply(*m, Slot(kLibmodbusWriteReply3_105_3)));
    EXPECT_FALSE(Awaiting(*m));
    EXPECT_EQ(b.last_write_result, 0);
    EXPECT_EQ(m->transaction.exception, 0);
    for (std::size_t i = 0; i < b.count; ++i) {
        const bool in = i >= 5 && i < 8;
        EXPECT_EQ(TestBit(b.write_request_map, i), !in) << i;
        EXPECT_EQ(TestBit(b.write_done_map, i), in) << i;
    }
    EXPECT_EQ(b.values_read[5], 0xA005);  // a write reply stores no values
}

// A command queued while the previous one is out must not be ended by the older reply.
TEST(ParseReply, ValueQueuedWhileTheWriteWasOutStaysPending) {
    auto m = MakeModel(3);
    RegisterBlock& b = m->blocks[1];
    for (std::size_t i = 5; i < 8; ++i)
        SetBit(b.write_request_map, i);
    SetRequest(*m, kOpWrite, 0x0105, 3, 1);
    b.values_to_write[5] = 11;
    FrameSlot tx;
    BuildRequest(*m, tx);
    b.values_to_write[5] = 13;
    EXPECT_TRUE(ParseReply(*m, Slot(kLibmodbusWriteReply3_105_3)));
    EXPECT_TRUE(TestBit(b.write_request_map, 5));
    EXPECT_FALSE(TestBit(b.write_done_map, 5));
    for (const std::size_t i : {6, 7}) {
        EXPECT_FALSE(TestBit(b.write_request_map, i)) << i;
        EXPECT_TRUE(TestBit(b.write_done_map, i)) << i;
    }
}

TEST(ParseReply, WriteExceptionStillEndsTheWriteAndReportsTheCode) {
    auto m = MakeModel(3);
    RegisterBlock& b = m->blocks[1];
    for (std::size_t i = 0; i < b.count; ++i)
        SetBit(b.write_request_map, i);
    SetRequest(*m, kOpWrite, 0x0105, 3, 1);
    FrameSlot tx;
    BuildRequest(*m, tx);
    EXPECT_TRUE(ParseReply(*m, Slot(kLibmodbusException3_10_4)));
    EXPECT_EQ(m->transaction.exception, 4);
    EXPECT_EQ(b.last_write_result, 4);
    for (std::size_t i = 0; i < b.count; ++i) {
        const bool in = i >= 5 && i < 8;
        EXPECT_EQ(TestBit(b.write_request_map, i), !in) << i;
        EXPECT_EQ(TestBit(b.write_done_map, i), in) << i;
    }
    EXPECT_FALSE(Awaiting(*m));
}

TEST(ParseReply, BootReadFillsTheSelectedBuffer) {
    auto m = MakeModel(3);
    BootRecord& boot = *m->boot;
    FrameSlot tx;

    SetRequest(*m, kOpBootRead, 0x0000, 11, kBootBlock);
    boot.buffer_selector = 0;
    BuildRequest(*m, tx);
    EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(3, Ramp(11, 0x0100)))));
    EXPECT_EQ(boot.loader_result, 1);
    for (std::size_t i = 0; i < kInfo1Size; ++i)
        EXPECT_EQ(boot.info1[i], 0x0100 + 0x0101 * i);

    // Second buffer, from its third register: index S - info 2 start.
    boot.loader_result = 0;
    SetRequest(*m, kOpBootRead, 0x1098 + 2, 5, kBootBlock);
    boot.buffer_selector = 1;
    BuildRequest(*m, tx);
    EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(3, Ramp(5, 0x2000)))));
    EXPECT_EQ(boot.loader_result, 1);
    for (std::size_t i = 0; i < kInfo2Size; ++i) {
        EXPECT_EQ(boot.info2[i], i >= 2 && i < 7 ? 0x2000 + 0x0101 * (i - 2) : 0) << i;
    }
    EXPECT_FALSE(Awaiting(*m));
}

TEST(ParseReply, BootReadExceptionSetsLoaderResultFF) {
    auto m = MakeModel(3);
    SetRequest(*m, kOpBootRead, 0x0000, 11, kBootBlock);
    FrameSlot tx;
    BuildRequest(*m, tx);
    EXPECT_TRUE(ParseReply(*m, Slot(WithCrc({0x03, 0x83, 0x01}))));
    EXPECT_EQ(m->boot->loader_result, 0xFF);
    EXPECT_EQ(m->transaction.exception, 1);
    EXPECT_EQ(m->boot->info1[0], 0);
}

TEST(ParseReply, BootReadWithOtherBufferSelectorIsNotTaken) {
    auto m = MakeModel(3);
    SetRequest(*m, kOpBootRead, 0x0000, 11, kBootBlock);
    m->boot->buffer_selector = 2;
    SetAwaiting(*m);
    const Snapshot before(*m);
    EXPECT_FALSE(ParseReply(*m, Slot(ReadReply(3, Ramp(11, 1)))));
    EXPECT_TRUE(NothingChanged(*m, before));
    FrameSlot tx;
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 0);
}

struct StatusCase {
    std::uint8_t op;
    Bytes reply;  // without CRC
    std::uint16_t result;
};

TEST(ParseReply, LoaderStatusReplies) {
    for (const StatusCase& c : {
             StatusCase{kOpFlashErase, {0x03, 0x20, 0x00, 0x5A}, 0x5A},  // R[3]
             StatusCase{kOpFlashProgram, {0x03, 0x21, 0x77}, 1},
             StatusCase{kOpFlashProgram, {0x03, 0x21, 0x00, 0x01, 0x00, 0x80, 0x02}, 1},
             StatusCase{kOpDeviceOpen, {0x03, 0x30, 0x42}, 0x42},         // R[2]
             StatusCase{kOpDeviceClose, {0x03, 0x31, 0x01, 0x07}, 0x07},  // R[3]
         }) {
        auto m = MakeModel(3);
        m->boot->program_base = 0x00010000;
        m->boot->image.assign(4, 0x1111);
        SetRequest(*m, c.op, c.op == kOpFlashProgram ? 0x00010000 : 0,
                   c.op == kOpFlashProgram ? 4 : 0, kBootBlock);
        FrameSlot tx;
        BuildRequest(*m, tx);
        ASSERT_GT(tx.length, 0) << int(c.op);
        EXPECT_TRUE(ParseReply(*m, Slot(WithCrc(c.reply)))) << int(c.op);
        EXPECT_EQ(m->boot->loader_result, c.result) << int(c.op);
        EXPECT_EQ(m->transaction.exception, 0);
        EXPECT_FALSE(Awaiting(*m));
    }
}

TEST(ParseReply, LoaderExceptionRepliesSetFF) {
    for (std::uint8_t op : {kOpFlashErase, kOpFlashProgram, kOpDeviceOpen, kOpDeviceClose}) {
        auto m = MakeModel(3);
        m->boot->program_base = 0x00010000;
        m->boot->image.assign(4, 0x1111);
        SetRequest(*m, op, op == kOpFlashProgram ? 0x00010000 : 0, op == kOpFlashProgram ? 4 : 0,
                   kBootBlock);
        FrameSlot tx;
        BuildRequest(*m, tx);
        const std::uint8_t fn = tx.data[1];
        EXPECT_TRUE(
            ParseReply(*m, Slot(WithCrc({0x03, static_cast<std::uint8_t>(fn | 0x80), 0x06}))))
            << int(op);
        EXPECT_EQ(m->boot->loader_result, 0xFF) << int(op);
        EXPECT_EQ(m->transaction.exception, 6) << int(op);
        EXPECT_FALSE(Awaiting(*m));
    }
}

// ---------------------------------------------------------------------------------------------
// Dropped replies

TEST(ParseReply, WrongAddressIsDropped) {
    auto m = MakeModel(3);
    SetRequest(*m, kOpRead, 0x0000, 2);
    FrameSlot tx;
    BuildRequest(*m, tx);
    m->transaction.exception = 7;
    const Snapshot before(*m);
    EXPECT_FALSE(ParseReply(*m, Slot(ReadReply(5, {0x1111, 0x2222}))));
    EXPECT_TRUE(NothingChanged(*m, before));
    EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x05, 0x83, 0x02}))));
    EXPECT_TRUE(NothingChanged(*m, before));
    EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(3, {0x1111, 0x2222}))));
}

TEST(ParseReply, OneByteFrameFailsTheCrc) {
    auto m = MakeModel(1);
    SetRequest(*m, kOpRead, 0x0000, 2);
    FrameSlot tx;
    BuildRequest(*m, tx);
    const Snapshot before(*m);
    EXPECT_FALSE(ParseReply(*m, Slot({0x01})));
    EXPECT_FALSE(ParseReply(*m, Slot({})));
    EXPECT_TRUE(NothingChanged(*m, before));
}

TEST(ParseReply, BadCrcIsDropped) {
    auto m = MakeModel(1);
    SetRequest(*m, kOpRead, 0x0000, 10);
    FrameSlot tx;
    BuildRequest(*m, tx);
    Bytes bad = kLibmodbusException1_03_2;
    bad[4] ^= 0x01;
    const Snapshot before(*m);
    EXPECT_FALSE(ParseReply(*m, Slot(bad)));
    EXPECT_TRUE(NothingChanged(*m, before));
}

TEST(ParseReply, NoOutstandingRequestIsNotTakenButStoresTheExceptionCode) {
    auto m = MakeModel(1);
    Prefill(m->blocks[0]);
    SetRequest(*m, kOpRead, 0x0000, 10);  // never built: awaiting-reply bit clear
    const Snapshot before(*m);
    EXPECT_FALSE(ParseReply(*m, Slot(kLibmodbusException1_03_2)));
    EXPECT_EQ(m->transaction.exception, 2);  // step 3 comes before step 4
    EXPECT_TRUE(DataUnchanged(*m, before));
    EXPECT_FALSE(ParseReply(*m, Slot(ReadReply(1, Ramp(10, 1)))));
    EXPECT_EQ(m->transaction.exception, 0);
    EXPECT_TRUE(DataUnchanged(*m, before));
}

TEST(ParseReply, SecondReplyToOneRequestIsNotTaken) {
    auto m = MakeModel(1);
    SetRequest(*m, kOpRead, 0x0000, 2);
    FrameSlot tx;
    BuildRequest(*m, tx);
    EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(1, {1, 2}))));
    EXPECT_FALSE(ParseReply(*m, Slot(ReadReply(1, {3, 4}))));
    EXPECT_EQ(m->blocks[0].values_read[0], 1);
}

TEST(ParseReply, UnknownOperationIsNotTaken) {
    auto m = MakeModel(1);
    SetRequest(*m, 4, 0x0000, 2);
    SetAwaiting(*m);
    const Snapshot before(*m);
    EXPECT_FALSE(ParseReply(*m, Slot(ReadReply(1, {1, 2}))));
    EXPECT_TRUE(DataUnchanged(*m, before));
    EXPECT_TRUE(Awaiting(*m));
}

TEST(ParseReply, SlotLengthBeyondItsBufferIsNotTaken) {
    auto m = MakeModel(1);
    SetRequest(*m, kOpRead, 0x0000, 2);
    FrameSlot tx;
    BuildRequest(*m, tx);
    FrameSlot rx = Slot(ReadReply(1, {1, 2}));
    const Snapshot before(*m);
    rx.length = kFrameCapacity + 1;
    EXPECT_FALSE(ParseReply(*m, rx));
    rx.length = 0xFFFF;
    EXPECT_FALSE(ParseReply(*m, rx));
    rx.length = 9;
    rx.capacity = 8;
    EXPECT_FALSE(ParseReply(*m, rx));
    rx.capacity = kFrameCapacity;
    rx.overflowed = true;  // the start of a longer burst, whose CRC happens to check
    EXPECT_FALSE(ParseReply(*m, rx));
    EXPECT_TRUE(NothingChanged(*m, before));
    rx.overflowed = false;
    EXPECT_TRUE(ParseReply(*m, rx));
}

TEST(ParseReply, FullSizeReadReply) {
    auto m = MakeModel(1);
    SetRequest(*m, kOpRead, 0x0100, 125, 1);
    FrameSlot tx;
    BuildRequest(*m, tx);
    const Bytes reply = ReadReply(1, Ramp(125, 7));
    ASSERT_EQ(reply.size(), 255u);
    EXPECT_TRUE(ParseReply(*m, Slot(reply)));
    EXPECT_EQ(m->blocks[1].values_read[124], static_cast<std::uint16_t>(7 + 0x0101 * 124));
}

// ---------------------------------------------------------------------------------------------
// Mended: minimum reply lengths

TEST(Mended, ReadReplyShorterThan5Plus2NIsNotTaken) {
    for (std::uint8_t op : {kOpRead, kOpBootRead}) {
        auto m = MakeModel(1);
        Prefill(m->blocks[0]);
        SetRequest(*m, op, 0x0000, 10, op == kOpRead ? 0 : kBootBlock);
        FrameSlot tx;
        BuildRequest(*m, tx);
        m->transaction.exception = 9;
        Bytes body{0x01, 0x03, 0x14};
        for (int i = 0; i < 19; ++i)
            body.push_back(static_cast<std::uint8_t>(i));  // 19 of 20
        const Bytes short_reply = WithCrc(body);
        ASSERT_EQ(short_reply.size(), 5u + 2 * 10 - 1);
        const Snapshot before(*m);
        EXPECT_FALSE(ParseReply(*m, Slot(short_reply))) << int(op);
        EXPECT_TRUE(DataUnchanged(*m, before));
        EXPECT_TRUE(Awaiting(*m));               // still outstanding
        EXPECT_EQ(m->transaction.exception, 0);  // step 3 stored the reply's (none)
        // Exactly 5 + 2N is enough.
        EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(1, Ramp(10, 0x0300))))) << int(op);
    }
}

TEST(Mended, ShortestSoundFrameOfEachOperation) {
    struct Case {
        std::uint8_t op;
        std::size_t minimum;
    };
    for (const Case& c : {Case{kOpWrite, 8}, Case{kOpFlashErase, 6}, Case{kOpFlashProgram, 5},
                          Case{kOpDeviceOpen, 5}, Case{kOpDeviceClose, 6}}) {
        for (std::size_t length = 4; length <= c.minimum; ++length) {
            auto m = MakeModel(3);
            m->boot->program_base = 0x100;
            m->boot->image.assign(8, 0);
            SetRequest(*m, c.op,
                       c.op == kOpWrite          ? 0
                       : c.op == kOpFlashProgram ? 0x100
                                                 : 0,
                       c.op == kOpWrite || c.op == kOpFlashProgram ? 2 : 0,
                       c.op == kOpWrite ? 0 : kBootBlock);
            FrameSlot tx;
            BuildRequest(*m, tx);
            ASSERT_GT(tx.length, 0);
            m->transaction.exception = 9;
            m->boot->loader_result = 0x1234;
            Bytes body{0x03, tx.data[1]};
            while (body.size() + 2 < length)
                body.push_back(0x01);
            const Snapshot before(*m);
            const bool taken = ParseReply(*m, Slot(WithCrc(body)));
            EXPECT_EQ(taken, length == c.minimum) << int(c.op) << " length " << length;
            if (!taken) {
                EXPECT_TRUE(DataUnchanged(*m, before));
                EXPECT_TRUE(Awaiting(*m));
                // Below 5 bytes nothing is stored; from 5 on, step 3 stores the code (0 here).
                EXPECT_EQ(m->transaction.exception, length < 5 ? 9 : 0) << length;
            } else {
                EXPECT_FALSE(Awaiting(*m));
                EXPECT_EQ(m->transaction.exception, 0);
            }
        }
    }
}

TEST(Mended, ExceptionReplyNeedsFiveBytes) {
    const std::pair<std::uint8_t, std::uint8_t> functions[] = {
        {kOpRead, 0x03},       {kOpWrite, 0x10},        {kOpBootRead, 0x03},
        {kOpFlashErase, 0x20}, {kOpFlashProgram, 0x21}, {kOpDeviceOpen, 0x30},
        {kOpDeviceClose, 0x31}};
    for (const auto& [op, function] : functions) {
        const std::uint8_t failed = function | 0x80;
        auto m = MakeModel(1);
        m->boot->image.assign(8, 0);
        SetRequest(
            *m, op, 0,
            op == kOpRead || op == kOpWrite || op == kOpBootRead || op == kOpFlashProgram ? 2 : 0,
            op == kOpRead || op == kOpWrite ? 0 : kBootBlock);
        FrameSlot tx;
        BuildRequest(*m, tx);
        ASSERT_GT(tx.length, 0) << int(op);
        m->transaction.exception = 9;
        // Four bytes: address, function with bit 7, CRC. No exception byte: nothing stored.
        const Snapshot before(*m);
        EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x01, failed})))) << int(op);
        EXPECT_TRUE(NothingChanged(*m, before)) << int(op);
        EXPECT_TRUE(ParseReply(*m, Slot(WithCrc({0x01, failed, 0x03})))) << int(op);
        EXPECT_EQ(m->transaction.exception, 3);
    }
}

TEST(Mended, ExceptionBitWithCodeZeroIsReadAsANormalReply) {
    // E is byte 2 when bit 7 is set; E = 0 means no exception, so the normal length applies.
    auto m = MakeModel(1);
    SetRequest(*m, kOpRead, 0x0000, 10);
    FrameSlot tx;
    BuildRequest(*m, tx);
    EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x01, 0x83, 0x00}))));
    EXPECT_TRUE(Awaiting(*m));
}

// ---------------------------------------------------------------------------------------------
// Mended: code 26 stays inside its information buffer

TEST(Mended, BootReadOutsideItsBufferIsRefused) {
    struct Case {
        std::uint16_t selector;
        std::uint16_t buffer_start;
        std::uint32_t start;
        std::uint16_t count;
    };
    for (const Case& c : {
             Case{0, 0x0000, 0x0000, 12},            // one past the 11 words
             Case{0, 0x0000, 0x000A, 2},             // last word and one past
             Case{0, 0x0000, 0x000B, 1},             // first register after the buffer
             Case{0, 0x0010, 0x000F, 1},             // before the buffer
             Case{1, 0x1098, 0x1097, 2},             // before the buffer
             Case{1, 0x1098, 0x1098 + 10, 9},        // past the 18 words
             Case{1, 0x1098, 0x1098, 0},             // nothing to read
             Case{1, 0x1098, 0x10000 + 0x1098, 18},  // start beyond 16 bits
             Case{1, 0xFFF0, 0xFFF0, 18},            // registers past 0xFFFF
         }) {
        auto m = MakeModel(3);
        BootRecord& boot = *m->boot;
        boot.buffer_selector = c.selector;
        (c.selector == 0 ? boot.info1_start : boot.info2_start) = c.buffer_start;
        SetRequest(*m, kOpBootRead, c.start, c.count, kBootBlock);
        FrameSlot tx;
        BuildRequest(*m, tx);
        EXPECT_EQ(tx.length, 0) << c.start << "+" << c.count;
        EXPECT_FALSE(Awaiting(*m));

        SetAwaiting(*m);
        const Snapshot before(*m);
        const std::size_t n = std::min<std::size_t>(c.count, 125);
        EXPECT_FALSE(ParseReply(*m, Slot(ReadReply(3, Ramp(n, 1))))) << c.start;
        EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x03, 0x83, 0x02})))) << c.start;
        EXPECT_TRUE(DataUnchanged(*m, before));
        EXPECT_TRUE(Awaiting(*m));
    }
}

TEST(Mended, BootReadAtTheEndsOfItsBufferIsTaken) {
    auto m = MakeModel(3);
    BootRecord& boot = *m->boot;
    boot.buffer_selector = 1;
    boot.info2_start = 0xFFEE;  // 18 registers 0xFFEE..0xFFFF
    SetRequest(*m, kOpBootRead, 0xFFFF, 1, kBootBlock);
    FrameSlot tx;
    BuildRequest(*m, tx);
    ASSERT_EQ(tx.length, 8);
    EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(3, {0xCAFE}))));
    EXPECT_EQ(boot.info2[17], 0xCAFE);
}

// ---------------------------------------------------------------------------------------------
// Mended: codes 3 and 12 stay inside the current block

struct BlockCase {
    std::uint16_t block;
    std::uint32_t start;
    std::uint16_t count;
};

const BlockCase kOutsideBlock[] = {
    {kBootBlock, 0x0000, 2},  // bootloader operation under way: no current block
    {4, 0x0000, 2},           // one past the blocks
    {0, 0x0013, 2},           // last register and one past
    {0, 0x0014, 1},           // first register after the block
    {1, 0x00FF, 2},           // before the block
    {0, 0x0000, 0},           // nothing to read or write
    {0, 0x10000, 2},          // start beyond 16 bits (its low 16 bits name register 0)
    {3, 0xFFF8, 9},           // past register 0xFFFF, though inside the block's count
    {3, 0xFFFF, 2},
};

TEST(Mended, ReadOutsideTheCurrentBlockIsRefused) {
    for (const BlockCase& c : kOutsideBlock) {
        auto m = MakeModel(1);
        for (auto& b : m->blocks)
            Prefill(b);
        SetRequest(*m, kOpRead, c.start, c.count, c.block);
        FrameSlot tx;
        BuildRequest(*m, tx);
        EXPECT_EQ(tx.length, 0) << c.block << " " << c.start << "+" << c.count;
        EXPECT_FALSE(Awaiting(*m));

        SetAwaiting(*m);
        const Snapshot before(*m);
        EXPECT_FALSE(
            ParseReply(*m, Slot(ReadReply(1, Ramp(std::max<std::size_t>(c.count, 1), 1)))));
        EXPECT_FALSE(ParseReply(*m, Slot(kLibmodbusException1_03_2)));
        EXPECT_TRUE(DataUnchanged(*m, before)) << c.block << " " << c.start;
        EXPECT_TRUE(Awaiting(*m));
    }
}

TEST(Mended, WriteOutsideTheCurrentBlockIsRefused) {
    for (const BlockCase& c : kOutsideBlock) {
        auto m = MakeModel(1);
        for (auto& b : m->blocks) {
            Prefill(b);
            for (std::size_t i = 0; i < b.count; ++i) {
                SetBit(b.write_request_map, i);
                SetBit(b.write_done_map, i);
            }
        }
        SetRequest(*m, kOpWrite, c.start, c.count, c.block);
        const Snapshot untouched(*m);
        FrameSlot tx;
        BuildRequest(*m, tx);
        EXPECT_EQ(tx.length, 0) << c.block << " " << c.start << "+" << c.count;
        EXPECT_FALSE(Awaiting(*m));
        EXPECT_TRUE(DataUnchanged(*m, untouched));  // no write-done bit cleared

        SetAwaiting(*m);
        const Snapshot before(*m);
        EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x01, 0x10, 0x00, 0x00, 0x00, 0x02}))));
        EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x01, 0x90, 0x04}))));
        EXPECT_TRUE(DataUnchanged(*m, before));
        EXPECT_TRUE(Awaiting(*m));
    }
}

TEST(Mended, RequestsAtTheEndsOfABlockAreSound) {
    auto m = MakeModel(1);
    FrameSlot tx;
    SetRequest(*m, kOpRead, 0xFFF8, 8, 3);  // 0xFFF8..0xFFFF
    BuildRequest(*m, tx);
    EXPECT_EQ(Sent(tx), WithCrc({0x01, 0x03, 0xFF, 0xF8, 0x00, 0x08}));
    EXPECT_TRUE(ParseReply(*m, Slot(ReadReply(1, Ramp(8, 1)))));
    EXPECT_EQ(m->blocks[3].values_read[7], 1 + 0x0101 * 7);

    SetRequest(*m, kOpWrite, 0x0013, 1, 0);  // last register of block 0
    m->blocks[0].values_to_write[19] = 0x4321;
    BuildRequest(*m, tx);
    EXPECT_EQ(Sent(tx), WithCrc({0x01, 0x10, 0x00, 0x13, 0x00, 0x01, 0x02, 0x43, 0x21}));
    EXPECT_TRUE(ParseReply(*m, Slot(WithCrc({0x01, 0x10, 0x00, 0x13, 0x00, 0x01}))));
    EXPECT_TRUE(TestBit(m->blocks[0].write_done_map, 19));
}

// ---------------------------------------------------------------------------------------------
// Mended: no frame above 256 bytes, none with N = 0

TEST(Mended, ReadCountLimits) {
    auto m = MakeModel(1);
    FrameSlot tx;
    SetRequest(*m, kOpRead, 0x0100, 125, 1);  // reply 255 bytes
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 8);
    SetRequest(*m, kOpRead, 0x0100, 126, 1);  // reply 257 bytes: could never be received
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 0);
    EXPECT_FALSE(Awaiting(*m));
    SetAwaiting(*m);
    EXPECT_FALSE(ParseReply(*m, Slot(kLibmodbusException1_03_2)));
}

TEST(Mended, WriteCountLimits) {
    auto m = MakeModel(1);
    FrameSlot tx;
    SetRequest(*m, kOpWrite, 0x0100, 123, 1);
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 9 + 2 * 123);
    EXPECT_EQ(tx.data[6], 246);
    EXPECT_TRUE(CheckCrc(tx.data, tx.length));
    EXPECT_TRUE(Awaiting(*m));
    SetRequest(*m, kOpWrite, 0x0100, 124, 1);  // 257 bytes
    SetBit(m->blocks[1].write_done_map, 0);
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 0);
    EXPECT_FALSE(Awaiting(*m));
    EXPECT_TRUE(TestBit(m->blocks[1].write_done_map, 0));
}

TEST(Mended, ProgramCountLimits) {
    auto m = MakeModel(3);
    m->boot->program_base = 0;
    m->boot->image.assign(200, 0x0102);
    FrameSlot tx;
    SetRequest(*m, kOpFlashProgram, 0, 123, kBootBlock);
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 9 + 2 * 123);
    EXPECT_EQ(tx.data[7], 0x02);  // low byte first
    EXPECT_EQ(tx.data[8], 0x01);
    EXPECT_TRUE(CheckCrc(tx.data, tx.length));
    SetRequest(*m, kOpFlashProgram, 0, 124, kBootBlock);
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 0);
    EXPECT_FALSE(Awaiting(*m));
}

TEST(Mended, CountZeroSendsNothing) {
    for (std::uint8_t op : {kOpRead, kOpWrite, kOpBootRead, kOpFlashProgram}) {
        auto m = MakeModel(3);
        m->boot->image.assign(8, 0);
        SetRequest(*m, op, 0, 0, op == kOpRead || op == kOpWrite ? 0 : kBootBlock);
        m->transaction.state |= kStateAwaitingReply;
        FrameSlot tx;
        BuildRequest(*m, tx);
        EXPECT_EQ(tx.length, 0) << int(op);
        EXPECT_FALSE(Awaiting(*m)) << int(op);
    }
}

TEST(Mended, FrameMustFitTheSlotCapacity) {
    auto m = MakeModel(1);
    SetRequest(*m, kOpWrite, 0x0000, 10, 0);  // 29 bytes
    FrameSlot tx;
    tx.capacity = 28;
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 0);
    tx.capacity = 29;
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 29);
}

// ---------------------------------------------------------------------------------------------
// Mended: code 33 words lie within the image

TEST(Mended, ProgramOutsideTheImageIsRefused) {
    struct Case {
        std::uint32_t base;
        std::size_t image;
        std::uint32_t start;
        std::uint16_t count;
    };
    for (const Case& c : {
             Case{0x00010000, 100, 0x0000FFFF, 1},       // before the base
             Case{0x00010000, 100, 0x00010000 + 99, 2},  // last word and one past
             Case{0x00010000, 100, 0x00010000 + 100, 1},
             Case{0x00010000, 0, 0x00010000, 1},                // no image
             Case{0xFFFF0000, 0x8001, 0xFFFF0000 + 0x7FFF, 2},  // flash address past 32 bits
         }) {
        auto m = MakeModel(3);
        m->boot->program_base = c.base;
        m->boot->image.assign(c.image, 0x5555);
        SetRequest(*m, kOpFlashProgram, c.start, c.count, kBootBlock);
        FrameSlot tx;
        BuildRequest(*m, tx);
        EXPECT_EQ(tx.length, 0) << c.start;
        EXPECT_FALSE(Awaiting(*m));
        SetAwaiting(*m);
        m->boot->loader_result = 0x77;
        EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x03, 0x21, 0x00}))));
        EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x03, 0xA1, 0x02}))));
        EXPECT_EQ(m->boot->loader_result, 0x77);
    }
}

TEST(Mended, ProgramAtTheEndsOfTheImageAndAddressSpace) {
    auto m = MakeModel(3);
    m->boot->program_base = 0xFFFF0000;
    m->boot->image.assign(0x8000, 0);
    m->boot->image[0x7FFF] = 0xA55A;
    SetRequest(*m, kOpFlashProgram, 0xFFFF0000 + 0x7FFF, 1, kBootBlock);
    FrameSlot tx;
    BuildRequest(*m, tx);
    // Flash bytes 0xFFFFFFFE..0xFFFFFFFF.
    EXPECT_EQ(Sent(tx), WithCrc({0x03, 0x21, 0xFF, 0xFF, 0xFF, 0xFE, 0x02, 0x5A, 0xA5}));
}

TEST(Mended, BootOperationsNeedABootloaderRecord) {
    for (std::uint8_t op :
         {kOpBootRead, kOpFlashErase, kOpFlashProgram, kOpDeviceOpen, kOpDeviceClose}) {
        auto m = MakeModel(3);
        m->boot.reset();
        SetRequest(*m, op, 0, op == kOpBootRead || op == kOpFlashProgram ? 1 : 0, kBootBlock);
        FrameSlot tx;
        BuildRequest(*m, tx);
        EXPECT_EQ(tx.length, 0) << int(op);
        SetAwaiting(*m);
        EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x03, 0x30, 0x01, 0x01, 0x01, 0x01}))));
        EXPECT_FALSE(ParseReply(*m, Slot(WithCrc({0x03, 0xB0, 0x01}))));
    }
}

// ---------------------------------------------------------------------------------------------
// Mended: the awaiting-reply bit

TEST(Mended, AwaitingBitSetByEveryBuildAndClearedByEveryTakenReply) {
    struct Case {
        std::uint8_t op;
        std::uint32_t start;
        std::uint16_t count;
        std::uint16_t block;
        Bytes reply;  // without CRC
    };
    const Bytes read2{0x03, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02};
    for (const Case& c : {
             Case{kOpRead, 0x0000, 2, 0, read2},
             Case{kOpWrite, 0x0000, 2, 0, {0x03, 0x10, 0x00, 0x00, 0x00, 0x02}},
             Case{kOpBootRead, 0x0000, 2, kBootBlock, read2},
             Case{kOpFlashErase, 0, 0, kBootBlock, {0x03, 0x20, 0x00, 0x01}},
             Case{kOpFlashProgram, 0x100, 2, kBootBlock, {0x03, 0x21, 0x00}},
             Case{kOpDeviceOpen, 0, 0, kBootBlock, {0x03, 0x30, 0x01}},
             Case{kOpDeviceClose, 0, 0, kBootBlock, {0x03, 0x31, 0x01, 0x01}},
         }) {
        auto m = MakeModel(3);
        m->boot->program_base = 0x100;
        m->boot->image.assign(2, 0);
        m->transaction.state = kStateEnabled | kStateUnreachable;
        SetRequest(*m, c.op, c.start, c.count, c.block);
        FrameSlot tx;
        BuildRequest(*m, tx);
        EXPECT_GT(tx.length, 0) << int(c.op);
        EXPECT_EQ(m->transaction.state, kStateEnabled | kStateUnreachable | kStateAwaitingReply)
            << int(c.op);
        EXPECT_TRUE(ParseReply(*m, Slot(WithCrc(c.reply)))) << int(c.op);
        EXPECT_EQ(m->transaction.state, kStateEnabled | kStateUnreachable) << int(c.op);
    }
}

TEST(Mended, RefusedBuildClearsAnOldAwaitingBit) {
    auto m = MakeModel(1);
    SetRequest(*m, kOpRead, 0x0000, 2, 0);
    FrameSlot tx;
    BuildRequest(*m, tx);
    ASSERT_TRUE(Awaiting(*m));  // no reply came; the cycle moves on to a request that is unsound
    SetRequest(*m, kOpRead, 0x0000, 2, kBootBlock);
    BuildRequest(*m, tx);
    EXPECT_EQ(tx.length, 0);
    EXPECT_FALSE(Awaiting(*m));
    m->current_block = 0;  // a late reply to the first request is not taken either
    EXPECT_FALSE(ParseReply(*m, Slot(ReadReply(1, {1, 2}))));
}

struct LengthCase {
    Bytes request;
    Bytes reply_start;
    std::size_t whole;
};

TEST(ExpectedReplyLength, FollowsTheRequestAndTheExceptionBit) {
    const Bytes read10{1, 0x03, 0x06, 0x00, 0x00, 0x0A, 0, 0};
    const LengthCase cases[] = {
        {read10, {1, 0x03}, 5 + 2 * 10},
        {read10, {1, 0x83}, 5},
        {{1, 0x03, 0, 0, 0, 125, 0, 0}, {1, 0x03, 250}, 255},
        {{1, 0x10, 0x28, 0, 0, 2, 4, 0, 1, 0, 2, 0, 0}, {1, 0x10, 0x28}, 8},
        {{3, 0x20, 0, 0, 0}, {3, 0x20}, 6},
        {{3, 0x30, 1, 0, 0}, {3, 0x30}, 5},
        {{3, 0x31, 1, 0, 0}, {3, 0x31}, 6},
        {{3, 0x21, 0, 0, 0, 0, 2, 0xAA, 0xBB, 0, 0}, {3, 0x21, 0}, 0},  // data length is free
        {{3, 0x21, 0, 0, 0, 0, 2, 0xAA, 0xBB, 0, 0}, {3, 0xA1}, 5},
        {read10, {1}, 0},                 // one byte tells nothing yet
        {{1, 0x03, 0, 0}, {1, 0x03}, 0},  // a request too short to name its count
        {{1, 0x07, 0, 0, 0, 0}, {1, 0x07}, 0},
    };
    for (const LengthCase& c : cases) {
        EXPECT_EQ(ExpectedReplyLength(c.request.data(), c.request.size(), c.reply_start.data(),
                                      c.reply_start.size()),
                  c.whole)
            << "function " << int(c.request[1]) << ", reply byte 1 "
            << (c.reply_start.size() > 1 ? int(c.reply_start[1]) : -1);
    }
    EXPECT_EQ(ExpectedReplyLength(nullptr, 0, read10.data(), 2), 0u);
}

}  // namespace
}  // namespace veltrona
