// libFuzzer target for the RTU frame layer (link/frames.h): arbitrary bytes to CheckCrc and
// ParseReply against device models in varied states, then BuildRequest on the same model and
// a reply made to fit what it built.
//
// Input: a 12-byte header, then the frame (at most 256 bytes are used).
//   0  operation: low 3 bits pick 3, 12, 26, 32, 33, 34, 35; 7 takes the whole byte as the
//      operation code (unknown codes included)
//   1  flags: 0x01 awaiting-reply bit set before the parse, 0x02 frame byte 0 = the model's
//      address, 0x04 frame's last two bytes = its CRC, 0x08 no bootloader record,
//      0x10 slot length = 250 + byte 10 (past the frame, past the slot), 0x20 answer the built
//      request with an exception reply, 0x40 count high byte = byte 6, 0x80 prefill values
//   2  current block: mod 6, 0..3 the blocks, 4 the bootloader block 15, 5 the byte itself
//   3-5 start: byte 5 << 16 | byte 3 << 8 | byte 4; for code 33 program base + the signed
//      16-bit value of bytes 3-4
//   6  count low byte
//   7  buffer selector (low 2 bits) and image length in words (upper 6 bits × 5)
//   8  program base = byte × 0x01010100
//   9  bus address
//   10 slot length argument (flag 0x10)
//   11 info 1 start (low 4 bits); 0x80 moves info 2 to 0xFFF0 (its end past 0xFFFF)

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "link/device_model.h"
#include "link/frame_slot.h"
#include "link/frames.h"

namespace {

using namespace veltrona;

#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition)) {   \
            __builtin_trap(); \
        }                     \
    } while (false)

constexpr BlockLayout kBlocks[] = {
    {kAccessReadWrite, kPollReadEvery, 0x0000, 20, 3, 10, 10, 2, 2},
    {kAccessReadWrite, kPollReadEvery, 0x0100, 130, 17, 125, 123, 2, 2},
    {kAccessRead, kPollReadEvery, 0x0060, 32, 4, 32, 32, 1, 1},
    {kAccessReadWrite, kPollReadEvery, 0xFFF8, 16, 2, 16, 16, 1, 1},  // past 0xFFFF
};

constexpr std::uint8_t kOps[] = {kOpRead,         kOpWrite,      kOpBootRead,   kOpFlashErase,
                                 kOpFlashProgram, kOpDeviceOpen, kOpDeviceClose};

std::uint16_t ReferenceCrc(const std::uint8_t* p, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) {
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

void AppendCrc(std::vector<std::uint8_t>& f) {
    const std::uint16_t crc = ReferenceCrc(f.data(), f.size());
    f.push_back(static_cast<std::uint8_t>(crc));
    f.push_back(static_cast<std::uint8_t>(crc >> 8));
}

bool SameData(const DeviceModel& a, const DeviceModel& b) {
    for (std::size_t i = 0; i < a.blocks.size(); ++i) {
        const RegisterBlock& x = a.blocks[i];
        const RegisterBlock& y = b.blocks[i];
        if (x.last_write_result != y.last_write_result || x.fresh_map != y.fresh_map ||
            x.changed_map != y.changed_map || x.write_request_map != y.write_request_map ||
            x.write_done_map != y.write_done_map || x.values_read != y.values_read ||
            x.values_to_write != y.values_to_write || x.edit_map != y.edit_map ||
            x.reserved_map != y.reserved_map) {
            return false;
        }
    }
    if ((a.boot == nullptr) != (b.boot == nullptr)) return false;
    if (a.boot == nullptr) return true;
    return a.boot->loader_result == b.boot->loader_result &&
           std::memcmp(a.boot->info1, b.boot->info1, sizeof a.boot->info1) == 0 &&
           std::memcmp(a.boot->info2, b.boot->info2, sizeof a.boot->info2) == 0 &&
           a.boot->image == b.boot->image;
}

// A copy of everything ParseReply may touch.
std::unique_ptr<DeviceModel> Copy(const DeviceModel& m) {
    auto c = std::make_unique<DeviceModel>();
    c->address = m.address;
    c->current_block = m.current_block;
    c->transaction = m.transaction;
    c->blocks = m.blocks;
    if (m.boot != nullptr) c->boot = std::make_unique<BootRecord>(*m.boot);
    return c;
}

std::uint8_t FunctionOf(std::uint8_t op);

// ParseReply with the checks every call must pass: a refused reply changes no data and leaves
// the awaiting-reply bit alone; a taken one clears it.
bool CheckedParse(DeviceModel& m, const FrameSlot& slot) {
    const auto before = Copy(m);
    const bool taken = ParseReply(m, slot);
    if (taken) {
        FUZZ_CHECK((before->transaction.state & kStateAwaitingReply) != 0);
        FUZZ_CHECK((m.transaction.state & kStateAwaitingReply) == 0);
        FUZZ_CHECK(slot.length >= 5 && slot.length <= kFrameCapacity);
        FUZZ_CHECK(CheckCrc(slot.data, slot.length));
        FUZZ_CHECK(slot.data[0] == m.address);
        // Only the request's own function, and a read or exception reply of its exact length.
        const std::uint8_t op = m.transaction.operation;
        FUZZ_CHECK((slot.data[1] & 0x7F) == FunctionOf(op));
        if ((slot.data[1] & 0x80) != 0 && slot.data[2] != 0) {
            FUZZ_CHECK(slot.length == 5);
        } else if (op == kOpRead || op == kOpBootRead) {
            FUZZ_CHECK(slot.length == 5 + 2 * std::size_t{m.transaction.count});
        }
    } else {
        FUZZ_CHECK(SameData(m, *before));
        FUZZ_CHECK(m.transaction.state == before->transaction.state);
    }
    FUZZ_CHECK(m.transaction.operation == before->transaction.operation &&
               m.transaction.start == before->transaction.start &&
               m.transaction.count == before->transaction.count);
    return taken;
}

std::uint8_t FunctionOf(std::uint8_t op) {
    switch (op) {
        case kOpRead:
        case kOpBootRead:
            return 0x03;
        case kOpWrite:
            return 0x10;
        case kOpFlashErase:
            return 0x20;
        case kOpFlashProgram:
            return 0x21;
        case kOpDeviceOpen:
            return 0x30;
        case kOpDeviceClose:
            return 0x31;
        default:
            return 0x00;
    }
}

// The reply a device would send to the request, from filler bytes.
std::vector<std::uint8_t> MakeReply(const DeviceModel& m, bool exception, const std::uint8_t* fill,
                                    std::size_t fill_size) {
    const std::uint8_t op = m.transaction.operation;
    std::vector<std::uint8_t> f{m.address, FunctionOf(op)};
    auto filler = [&](std::size_t i) -> std::uint8_t {
        return fill_size != 0 ? fill[i % fill_size] : static_cast<std::uint8_t>(i * 37);
    };
    if (exception) {
        f[1] |= 0x80;
        f.push_back(static_cast<std::uint8_t>(filler(0) | 1));  // nonzero code
    } else if (op == kOpRead || op == kOpBootRead) {
        const std::size_t n = std::min<std::size_t>(m.transaction.count, 125);
        f.push_back(static_cast<std::uint8_t>(2 * n));
        for (std::size_t i = 0; i < 2 * n; ++i)
            f.push_back(filler(i));
    } else if (op == kOpWrite) {
        for (int i = 0; i < 4; ++i)
            f.push_back(filler(i));
    } else if (op == kOpFlashErase || op == kOpDeviceClose) {
        f.push_back(0);
        f.push_back(filler(0));
    } else {
        f.push_back(filler(0));
    }
    AppendCrc(f);
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = 12;
    if (size < kHeader) return 0;
    const std::uint8_t* h = data;
    const std::uint8_t* frame = data + kHeader;
    const std::size_t frame_size = std::min<std::size_t>(size - kHeader, kFrameCapacity);
    const std::uint8_t flags = h[1];

    // CheckCrc against the bit-by-bit reference, on the raw bytes (any length).
    {
        const std::size_t n = size - kHeader;
        const bool expected =
            n >= 3 && ReferenceCrc(frame, n - 2) == (frame[n - 2] | frame[n - 1] << 8);
        FUZZ_CHECK(CheckCrc(frame, n) == expected);
        FUZZ_CHECK(Crc16(frame, n) == ReferenceCrc(frame, n));
    }

    auto model = BuildDeviceModel(DeviceLayout{kKindInverter, kBlocks}, h[9], true);
    FUZZ_CHECK(model != nullptr);
    DeviceModel& m = *model;

    const std::uint8_t op_pick = h[0] & 7;
    const std::uint8_t op = op_pick < 7 ? kOps[op_pick] : h[0];
    const std::uint8_t block_pick = h[2] % 6;
    m.current_block = block_pick < 4 ? block_pick : block_pick == 4 ? kBootBlock : h[2];
    m.transaction.operation = op;
    m.transaction.count = static_cast<std::uint16_t>(h[6] | ((flags & 0x40) != 0 ? h[6] << 8 : 0));

    BootRecord& boot = *m.boot;
    boot.buffer_selector = h[7] & 3;
    boot.image.resize(static_cast<std::size_t>(h[7] >> 2) * 5);
    for (std::size_t i = 0; i < boot.image.size(); ++i) {
        boot.image[i] = static_cast<std::uint16_t>(0x1000 + i);
    }
    boot.program_base = std::uint32_t{h[8]} * 0x01010100u;
    boot.info1_start = h[11] & 0x0F;
    if ((h[11] & 0x80) != 0) boot.info2_start = 0xFFF0;
    const std::uint16_t low = static_cast<std::uint16_t>(h[3] << 8 | h[4]);
    m.transaction.start =
        op == kOpFlashProgram
            ? boot.program_base + static_cast<std::uint32_t>(
                                      static_cast<std::int32_t>(static_cast<std::int16_t>(low)))
            : (std::uint32_t{h[5]} << 16 | low);
    if ((flags & 0x08) != 0) m.boot.reset();
    if ((flags & 0x80) != 0) {
        for (auto& b : m.blocks) {
            for (std::size_t i = 0; i < b.count; ++i) {
                b.values_read[i] =
                    static_cast<std::uint16_t>(frame_size > 0 ? frame[i % frame_size] : i);
                if (i % 3 == 0) SetBit(b.write_request_map, i);
                if (i % 2 == 0) SetBit(b.write_done_map, i);
            }
        }
    }
    if ((flags & 0x01) != 0) m.transaction.state |= kStateAwaitingReply;

    // 1. The arbitrary frame.
    FrameSlot rx;
    std::memcpy(rx.data, frame, frame_size);
    rx.length = static_cast<std::uint16_t>(frame_size);
    if ((flags & 0x02) != 0 && frame_size > 0) rx.data[0] = m.address;
    if ((flags & 0x04) != 0 && frame_size >= 3) {
        const std::uint16_t crc = Crc16(rx.data, frame_size - 2);
        rx.data[frame_size - 2] = static_cast<std::uint8_t>(crc);
        rx.data[frame_size - 1] = static_cast<std::uint8_t>(crc >> 8);
    }
    if ((flags & 0x10) != 0) rx.length = static_cast<std::uint16_t>(250 + h[10]);
    const bool taken = CheckedParse(m, rx);
    if (rx.length > kFrameCapacity) FUZZ_CHECK(!taken);

    // 2. A request for the same model.
    FrameSlot tx;
    BuildRequest(m, tx);
    const bool built = tx.length != 0;
    const TransactionRecord& t = m.transaction;
    if (built) {
        FUZZ_CHECK((t.state & kStateAwaitingReply) != 0);
        FUZZ_CHECK(tx.length <= kFrameCapacity);
        FUZZ_CHECK(CheckCrc(tx.data, tx.length));
        FUZZ_CHECK(tx.data[0] == m.address && tx.data[1] == FunctionOf(t.operation));
        std::size_t expected = 0;
        switch (t.operation) {
            case kOpRead:
            case kOpBootRead:
                expected = 8;
                break;
            case kOpWrite:
            case kOpFlashProgram:
                expected = 9 + 2 * std::size_t{t.count};
                break;
            default:
                expected = 5;
                break;
        }
        FUZZ_CHECK(tx.length == expected);
        if (t.operation == kOpRead || t.operation == kOpWrite || t.operation == kOpBootRead ||
            t.operation == kOpFlashProgram) {
            FUZZ_CHECK(t.count != 0);
        }
        if (t.operation == kOpRead || t.operation == kOpWrite) {
            const RegisterBlock* b = m.CurrentBlock();
            FUZZ_CHECK(b != nullptr && t.start >= b->base &&
                       t.start - b->base + t.count <= b->count && t.start + t.count <= 0x10000);
        }
    } else {
        FUZZ_CHECK((t.state & kStateAwaitingReply) == 0);
    }

    // 3. A well-formed reply to it is taken exactly when the request was built.
    m.transaction.state |= kStateAwaitingReply;
    const bool exception = (flags & 0x20) != 0;
    const std::vector<std::uint8_t> reply = MakeReply(m, exception, frame, frame_size);
    if (reply.size() <= kFrameCapacity) {
        FrameSlot answer;
        std::memcpy(answer.data, reply.data(), reply.size());
        answer.length = static_cast<std::uint16_t>(reply.size());
        const bool answered = CheckedParse(m, answer);
        FUZZ_CHECK(answered == built);
        if (answered) {
            FUZZ_CHECK(m.transaction.exception == (exception ? reply[2] : 0));
            if (t.operation == kOpRead && !exception) {
                const RegisterBlock& b = *m.CurrentBlock();
                for (std::size_t k = 0; k < t.count; ++k) {
                    const std::size_t i = t.start - b.base + k;
                    FUZZ_CHECK(b.values_read[i] == (reply[3 + 2 * k] << 8 | reply[4 + 2 * k]));
                    FUZZ_CHECK(TestBit(b.fresh_map, i));
                }
            }
            if (t.operation == kOpWrite) {
                const RegisterBlock& b = *m.CurrentBlock();
                FUZZ_CHECK(b.last_write_result == m.transaction.exception);
                for (std::size_t k = 0; k < t.count; ++k) {
                    const std::size_t i = t.start - b.base + k;
                    FUZZ_CHECK(!TestBit(b.write_request_map, i) && TestBit(b.write_done_map, i));
                }
            }
            if (exception && t.operation != kOpRead && t.operation != kOpWrite) {
                FUZZ_CHECK(m.boot->loader_result == 0xFF);
            }
        }
    }
    return 0;
}
