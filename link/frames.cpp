#include "link/frames.h"

#include <algorithm>
#include <array>
#include <optional>

namespace veltrona {
namespace {

// ---------------------------------------------------------------------------------------------
// CRC-16/MODBUS

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u)
                                  : static_cast<std::uint16_t>(crc >> 1);
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();
static_assert(kCrcTable[0] == 0x0000 && kCrcTable[1] == 0xC0C1 && kCrcTable[255] == 0x4040,
              "not the standard CRC-16/MODBUS table");

// ---------------------------------------------------------------------------------------------
// Request checks shared by BuildRequest and ParseReply: a reply is taken only for a request
// that BuildRequest would have built, so both sides agree on what is sound.

// Function codes on the wire.
constexpr std::uint8_t kFnRead = 0x03;
constexpr std::uint8_t kFnWrite = 0x10;
constexpr std::uint8_t kFnErase = 0x20;
constexpr std::uint8_t kFnProgram = 0x21;
constexpr std::uint8_t kFnOpen = 0x30;
constexpr std::uint8_t kFnClose = 0x31;

// The shortest frame of any reply: the exception reply (address, function, code, CRC).
constexpr std::size_t kMinReply = 5;

constexpr std::uint32_t kRegisterSpace = 0x10000;  // 16-bit register addresses

// Most registers (or words) one request may carry: a read reply of N registers (5 + 2N bytes)
// and a write or program request of N words (9 + 2N bytes) must fit a 256-byte slot.
std::uint16_t MaxCount(std::uint8_t operation) {
    return operation == kOpRead || operation == kOpBootRead ? kMaxReadChunk : kMaxWriteChunk;
}

// Index of register S within a range of size registers starting at register first, when
// S..S+N-1 (N from 1 to the operation's maximum) are 16-bit register addresses that lie wholly
// within the range.
std::optional<std::size_t> RangeIndex(const TransactionRecord& t, std::uint32_t first,
                                      std::size_t size) {
    const std::uint32_t start = t.start;
    const std::uint16_t count = t.count;
    if (count == 0 || count > MaxCount(t.operation) || start >= kRegisterSpace ||
        kRegisterSpace - start < count) {
        return std::nullopt;
    }
    if (start < first) return std::nullopt;
    const std::size_t index = start - first;
    if (index > size || size - index < count) return std::nullopt;
    return index;
}

// Index of S within the current block (codes 3 and 12), or none.
std::optional<std::size_t> BlockIndex(const DeviceModel& model) {
    const RegisterBlock* block = model.CurrentBlock();
    if (block == nullptr) return std::nullopt;
    // A block whose value arrays do not hold all its registers (never built so by
    // BuildDeviceModel) is not trusted with any register.
    if (block->values_read.size() < block->count || block->values_to_write.size() < block->count) {
        return std::nullopt;
    }
    return RangeIndex(model.transaction, block->base, block->count);
}

struct InfoBuffer {
    std::uint16_t* words;
    std::size_t size;
    std::uint16_t first;  // register of words[0]
};

// The information buffer the buffer selector names (code 26), or none.
std::optional<InfoBuffer> SelectedBuffer(const DeviceModel& model) {
    BootRecord* boot = model.boot.get();
    if (boot == nullptr) return std::nullopt;
    switch (boot->buffer_selector) {
        case 0:
            return InfoBuffer{boot->info1, kInfo1Size, boot->info1_start};
        case 1:
            return InfoBuffer{boot->info2, kInfo2Size, boot->info2_start};
        default:
            return std::nullopt;
    }
}

// Index of S within the selected information buffer (code 26), or none.
std::optional<std::size_t> BufferIndex(const DeviceModel& model) {
    const std::optional<InfoBuffer> buffer = SelectedBuffer(model);
    if (!buffer) return std::nullopt;
    return RangeIndex(model.transaction, buffer->first, buffer->size);
}

// Word offset S - B of a flash program request (code 33) whose words lie within the image and
// whose flash bytes B + 2(S-B) .. B + 2(S-B+N) - 1 have 32-bit addresses, or none.
std::optional<std::uint32_t> ImageOffset(const DeviceModel& model) {
    const BootRecord* boot = model.boot.get();
    if (boot == nullptr) return std::nullopt;
    const std::uint32_t start = model.transaction.start;
    const std::uint16_t count = model.transaction.count;
    if (count == 0 || count > kMaxWriteChunk || start < boot->program_base) return std::nullopt;
    const std::uint64_t offset = start - boot->program_base;
    if (offset + count > boot->image.size()) return std::nullopt;
    const std::uint64_t last_byte = boot->program_base + 2 * (offset + count) - 1;
    if (last_byte > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(offset);
}

// Longest frame a slot can hold.
std::size_t SlotLimit(const FrameSlot& slot) {
    return std::min<std::size_t>(slot.capacity, kFrameCapacity);
}

// The function code each operation sends, and every device here echoes in its reply.
std::optional<std::uint8_t> FunctionOf(std::uint8_t operation) {
    switch (operation) {
        case kOpRead:
        case kOpBootRead:
            return kFnRead;
        case kOpWrite:
            return kFnWrite;
        case kOpFlashErase:
            return kFnErase;
        case kOpFlashProgram:
            return kFnProgram;
        case kOpDeviceOpen:
            return kFnOpen;
        case kOpDeviceClose:
            return kFnClose;
        default:
            return std::nullopt;
    }
}

// Frame lengths that depend on N.
std::size_t ReadReplyLength(std::uint16_t count) {
    return 5 + 2 * std::size_t{count};
}
std::size_t WriteRequestLength(std::uint16_t count) {
    return 9 + 2 * std::size_t{count};
}

// ---------------------------------------------------------------------------------------------
// Frame writing

class FrameWriter {
  public:
    explicit FrameWriter(FrameSlot& slot) : slot_(slot) {}
    void Byte(std::uint8_t b) { slot_.data[length_++] = b; }
    void Word(std::uint16_t w) {  // high byte first
        Byte(static_cast<std::uint8_t>(w >> 8));
        Byte(static_cast<std::uint8_t>(w));
    }
    void WordLowFirst(std::uint16_t w) {
        Byte(static_cast<std::uint8_t>(w));
        Byte(static_cast<std::uint8_t>(w >> 8));
    }
    void Long(std::uint32_t v) {  // most significant byte first
        Word(static_cast<std::uint16_t>(v >> 16));
        Word(static_cast<std::uint16_t>(v));
    }
    // Appends the CRC, low byte first, and sets the slot's length.
    void Finish() {
        WordLowFirst(Crc16(slot_.data, length_));
        slot_.length = static_cast<std::uint16_t>(length_);
    }

  private:
    FrameSlot& slot_;
    std::size_t length_ = 0;
};

// Writes the request into the slot and sets its length; false, with nothing written, when the
// request is not sound or its frame does not fit the slot.
bool WriteRequest(DeviceModel& model, FrameSlot& slot) {
    const TransactionRecord& t = model.transaction;
    const std::size_t limit = SlotLimit(slot);
    FrameWriter out(slot);
    switch (t.operation) {
        case kOpRead:
        case kOpBootRead: {
            const bool inside = t.operation == kOpRead ? BlockIndex(model).has_value()
                                                       : BufferIndex(model).has_value();
            if (!inside || limit < 8) return false;
            out.Byte(model.address);
            out.Byte(kFnRead);
            out.Word(static_cast<std::uint16_t>(t.start));
            out.Word(t.count);
            out.Finish();
            return true;
        }
        case kOpWrite: {
            const std::optional<std::size_t> index = BlockIndex(model);
            if (!index || WriteRequestLength(t.count) > limit) return false;
            RegisterBlock& block = *model.CurrentBlock();
            out.Byte(model.address);
            out.Byte(kFnWrite);
            out.Word(static_cast<std::uint16_t>(t.start));
            out.Word(t.count);
            out.Byte(static_cast<std::uint8_t>(2 * t.count));
            for (std::size_t i = *index; i < *index + t.count; ++i) {
                out.Word(block.values_to_write[i]);
                block.values_sent[i] = block.values_to_write[i];
                ClearBit(block.write_done_map, i);
            }
            out.Finish();
            return true;
        }
        case kOpFlashErase:
        case kOpDeviceOpen:
        case kOpDeviceClose: {
            // Bootloader operations: without a record their replies could not be stored.
            if (model.boot == nullptr || limit < 5) return false;
            out.Byte(model.address);
            if (t.operation == kOpFlashErase) {
                out.Byte(kFnErase);
                out.Byte(0x00);
            } else {
                out.Byte(t.operation == kOpDeviceOpen ? kFnOpen : kFnClose);
                out.Byte(0x01);
            }
            out.Finish();
            return true;
        }
        case kOpFlashProgram: {
            const std::optional<std::uint32_t> offset = ImageOffset(model);
            if (!offset || WriteRequestLength(t.count) > limit) return false;
            const BootRecord& boot = *model.boot;
            out.Byte(model.address);
            out.Byte(kFnProgram);
            out.Long(boot.program_base + 2 * *offset);
            out.Byte(static_cast<std::uint8_t>(2 * t.count));
            for (std::size_t i = *offset; i < *offset + t.count; ++i) {
                out.WordLowFirst(boot.image[i]);
            }
            out.Finish();
            return true;
        }
        default:
            return false;
    }
}

std::uint16_t ReadWord(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

}  // namespace

std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t length) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ bytes[i]) & 0xFF]);
    }
    return crc;
}

bool CheckCrc(const std::uint8_t* frame, std::size_t length) {
    if (frame == nullptr || length < 3) return false;
    const std::uint16_t received =
        static_cast<std::uint16_t>(frame[length - 2] | frame[length - 1] << 8);
    return Crc16(frame, length - 2) == received;
}

void BuildRequest(DeviceModel& model, FrameSlot& slot) {
    slot.length = 0;
    if (WriteRequest(model, slot)) {
        model.transaction.state |= kStateAwaitingReply;
    } else {
        model.transaction.state &= static_cast<std::uint8_t>(~kStateAwaitingReply);
    }
}

bool ParseReply(DeviceModel& model, const FrameSlot& slot) {
    const std::size_t length = slot.length;
    const std::uint8_t* r = slot.data;
    TransactionRecord& t = model.transaction;

    // Step 1: address (a slot claiming more bytes than it holds holds no frame, and one whose
    // frame overflowed it holds only the start of a frame).
    if (slot.overflowed || length == 0 || length > SlotLimit(slot) || r[0] != model.address) {
        return false;
    }
    // Step 2: CRC.
    if (!CheckCrc(r, length)) return false;
    // No reply is shorter than an exception reply; a shorter frame carries no real
    // exception byte, so it is refused before step 3 and changes nothing.
    if (length < kMinReply) return false;
    // A frame of another function is no answer to this request, exception or not: its bytes
    // would otherwise land in the registers as if the device had sent them.
    const std::optional<std::uint8_t> function = FunctionOf(t.operation);
    if (!function || (r[1] & 0x7F) != *function) return false;
    // An exception reply is exactly 5 bytes (and a read reply exactly 5 + 2N, below): a longer
    // frame is not what the device sends, though its CRC may check.
    if ((r[1] & 0x80) != 0 && r[2] != 0 && length != kMinReply) return false;
    // Step 3: the exception code, stored before the checks of step 4 (which include the
    // lengths and ranges below), kept whether or not the later checks pass.
    const std::uint8_t e = (r[1] & 0x80) != 0 ? r[2] : 0;
    t.exception = e;
    // Step 4: an outstanding request of a known operation, sound (what BuildRequest would
    // have sent), and a reply long enough for what step 5 reads. An exception reply (e != 0)
    // is read no further than its exception byte and needs kMinReply bytes only.
    if ((t.state & kStateAwaitingReply) == 0) return false;
    auto long_enough = [&](std::size_t normal) { return e != 0 || length >= normal; };
    auto exactly = [&](std::size_t normal) { return e != 0 || length == normal; };

    switch (t.operation) {
        case kOpRead: {
            const std::optional<std::size_t> index = BlockIndex(model);
            if (!index || !exactly(ReadReplyLength(t.count))) return false;
            if (e == 0) {
                RegisterBlock& block = *model.CurrentBlock();
                for (std::size_t k = 0; k < t.count; ++k) {
                    const std::size_t i = *index + k;
                    const std::uint16_t value = ReadWord(r + 3 + 2 * k);
                    SetBit(block.fresh_map, i);
                    if (value != block.values_read[i]) SetBit(block.changed_map, i);
                    block.values_read[i] = value;
                }
            }
            break;
        }
        case kOpWrite: {
            const std::optional<std::size_t> index = BlockIndex(model);
            if (!index || !long_enough(8)) return false;
            RegisterBlock& block = *model.CurrentBlock();
            block.last_write_result = e;
            for (std::size_t i = *index; i < *index + t.count; ++i) {
                if (block.values_to_write[i] != block.values_sent[i]) continue;
                ClearBit(block.write_request_map, i);
                SetBit(block.write_done_map, i);
            }
            break;
        }
        case kOpBootRead: {
            const std::optional<std::size_t> index = BufferIndex(model);
            if (!index || !exactly(ReadReplyLength(t.count))) return false;
            BootRecord& boot = *model.boot;
            if (e != 0) {
                boot.loader_result = 0xFF;
            } else {
                std::uint16_t* words = SelectedBuffer(model)->words;
                for (std::size_t k = 0; k < t.count; ++k) {
                    words[*index + k] = ReadWord(r + 3 + 2 * k);
                }
                boot.loader_result = 1;
            }
            break;
        }
        case kOpFlashErase:
        case kOpDeviceClose:
            if (model.boot == nullptr || !long_enough(6)) return false;
            model.boot->loader_result = e != 0 ? 0xFF : r[3];
            break;
        case kOpDeviceOpen:
            if (model.boot == nullptr || !long_enough(5)) return false;
            model.boot->loader_result = e != 0 ? 0xFF : r[2];
            break;
        case kOpFlashProgram:
            // Address, function, at least one data byte, CRC: 5 bytes (kMinReply).
            if (!ImageOffset(model) || !long_enough(kMinReply)) return false;
            model.boot->loader_result = e != 0 ? 0xFF : 1;
            break;
        default:
            return false;
    }

    // Step 5.
    t.state &= static_cast<std::uint8_t>(~kStateAwaitingReply);
    return true;
}

std::size_t ExpectedReplyLength(const std::uint8_t* request, std::size_t request_length,
                                const std::uint8_t* reply, std::size_t received) {
    if (request == nullptr || reply == nullptr || request_length < 2 || received < 2) return 0;
    if ((reply[1] & 0x80) != 0) return kMinReply;
    switch (request[1]) {
        case kFnRead:
            return request_length >= 6 ? ReadReplyLength(ReadWord(request + 4)) : 0;
        case kFnWrite:
            return 8;
        case kFnErase:
        case kFnClose:
            return 6;
        case kFnOpen:
            return 5;
        default:
            return 0;
    }
}

}  // namespace veltrona
