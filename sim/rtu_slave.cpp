#include "sim/rtu_slave.h"

#include <algorithm>
#include <utility>

#include "link/frames.h"

namespace veltrona::sim {
namespace {

constexpr std::uint8_t kRead = 0x03;
constexpr std::uint8_t kWrite = 0x10;
constexpr std::uint8_t kFlashErase = 0x20;
constexpr std::uint8_t kFlashProgram = 0x21;
constexpr std::uint8_t kLoaderOpen = 0x30;
constexpr std::uint8_t kLoaderClose = 0x31;

constexpr std::size_t kMaxFrame = 256;
constexpr std::uint16_t kMaxReadCount = 125;
constexpr std::uint16_t kMaxWriteCount = 123;

// An address byte or function code that no request can carry.
bool CannotStart(std::span<const std::uint8_t> head) {
    if (head[0] == 0 || head[0] > 247) return true;
    return head.size() > 1 && (head[1] == 0 || (head[1] & 0x80) != 0);
}

std::uint16_t Word(std::span<const std::uint8_t> f, std::size_t at) {
    return static_cast<std::uint16_t>(f[at] << 8 | f[at + 1]);
}

void AppendWord(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

bool Overlaps(const ExceptionRule& r, std::uint32_t start, std::uint32_t count) {
    return start <= r.last && start + count > r.first;
}

}  // namespace

int RequestLength(std::span<const std::uint8_t> head) {
    if (head.size() < 2) return 0;
    switch (head[1]) {
        case kRead:
            return 8;
        case kFlashErase:
        case kLoaderOpen:
        case kLoaderClose:
            return 5;
        case kWrite:
        case kFlashProgram:
            return head.size() < 7 ? 0 : 9 + head[6];
        default:
            return -1;
    }
}

namespace {

// The offset, from `from` on, of the first whole request of known length with a good CRC;
// the size of the bytes when there is none.
std::size_t FindRequest(std::span<const std::uint8_t> bytes, std::size_t from) {
    for (std::size_t at = from; at + 4 <= bytes.size(); ++at) {
        const auto head = bytes.subspan(at);
        const int length = RequestLength(head);
        if (!CannotStart(head) && length > 0 && static_cast<std::size_t>(length) <= head.size() &&
            CheckCrc(head.data(), static_cast<std::size_t>(length))) {
            return at;
        }
    }
    return bytes.size();
}

}  // namespace

std::vector<std::vector<std::uint8_t>> RtuFramer::Push(std::span<const std::uint8_t> bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::vector<std::vector<std::uint8_t>> frames;
    while (!pending_.empty()) {
        if (CannotStart(pending_)) {
            pending_.erase(pending_.begin());
            continue;
        }
        const int length = RequestLength(pending_);
        if (length < 0) {
            // Only silence ends it, unless it was junk in front of a whole request.
            const std::size_t next = FindRequest(pending_, 1);
            if (next < pending_.size()) {
                pending_.erase(pending_.begin(),
                               pending_.begin() + static_cast<std::ptrdiff_t>(next));
                continue;
            }
            // Nothing longer than a frame can be one: keep only its most recent bytes.
            if (pending_.size() > kMaxFrame) {
                pending_.erase(pending_.begin(), pending_.end() - kMaxFrame);
            }
            break;
        }
        const auto needed = static_cast<std::size_t>(length);
        if (length == 0 || pending_.size() < needed) break;
        if (CheckCrc(pending_.data(), needed)) {
            frames.emplace_back(pending_.begin(), pending_.begin() + length);
            pending_.erase(pending_.begin(), pending_.begin() + length);
        } else {
            pending_.erase(pending_.begin());
        }
    }
    return frames;
}

std::vector<std::uint8_t> RtuFramer::Silence() {
    std::vector<std::uint8_t> frame;
    if (pending_.size() >= 4 && RequestLength(pending_) < 0 &&
        CheckCrc(pending_.data(), pending_.size())) {
        frame = std::move(pending_);
    }
    pending_.clear();
    return frame;
}

void RtuSlave::Attach(DeviceId id, SimDevice& device, std::uint8_t address) {
    slots_.push_back({id, &device, address});
}

std::uint8_t RtuSlave::Address(DeviceId id) const {
    const auto slot =
        std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.id == id; });
    return slot == slots_.end() ? 0 : slot->address;
}

std::optional<LinkSettings> RtuSlave::TakeLineChange() {
    return std::exchange(line_change_, std::nullopt);
}

std::vector<std::uint8_t> RtuSlave::Handle(std::span<const std::uint8_t> request,
                                           const SimSwitches& switches, double seconds) {
    const int length = RequestLength(request);
    if (request.size() < 4 || (length > 0 && request.size() != static_cast<std::size_t>(length)) ||
        !CheckCrc(request.data(), request.size())) {
        return {};
    }
    const std::uint8_t address = request[0];
    const std::uint8_t function = request[1];
    std::vector<Slot*> here;
    for (Slot& s : slots_) {
        if (s.address == address && !switches.muted[static_cast<std::size_t>(s.id)]) {
            here.push_back(&s);
        }
    }
    if (here.empty()) return {};

    std::vector<std::uint8_t> reply{switches.reply_address.value_or(address)};
    auto exception = [&](std::uint8_t code) {
        reply.push_back(static_cast<std::uint8_t>(function | 0x80));
        reply.push_back(code);
    };

    if (function == kRead || function == kWrite) {
        const std::uint16_t start = Word(request, 2);
        const std::uint16_t count = Word(request, 4);
        const bool write = function == kWrite;
        const auto rule =
            std::find_if(switches.exceptions.begin(), switches.exceptions.end(),
                         [&](const ExceptionRule& r) { return Overlaps(r, start, count); });
        // Ties go to the device attached first, the same answer every time.
        Slot* owner = nullptr;
        const BlockLayout* block = nullptr;
        for (Slot* s : here) {
            const BlockLayout* b = s->device->FindBlock(start, count);
            if (b != nullptr && (block == nullptr || b->count < block->count)) {
                block = b;
                owner = s;
            }
        }
        SimDevice* device = owner != nullptr ? owner->device : nullptr;
        if (count == 0 || count > (write ? kMaxWriteCount : kMaxReadCount) ||
            (write && request[6] != 2 * count)) {
            exception(kIllegalValue);
        } else if (rule != switches.exceptions.end()) {
            exception(rule->code);
        } else if (block == nullptr || (write && (block->access & kAccessWrite) == 0)) {
            exception(kIllegalAddress);
        } else if (write) {
            std::vector<std::uint16_t> values(count);
            for (std::uint16_t i = 0; i < count; ++i)
                values[i] = Word(request, 7 + 2 * i);
            if (const std::uint8_t refused = device->RefuseWrite(start, values); refused != 0) {
                exception(refused);
            } else {
                for (std::uint16_t i = 0; i < count; ++i)
                    device->Set(static_cast<std::uint16_t>(start + i), values[i]);
                device->Written(start, count, seconds);
                reply.insert(reply.end(), request.begin() + 1, request.begin() + 6);
                if (const auto link = device->TakeLinkChange()) {
                    owner->address = link->address;
                    line_change_ = link;
                    // Switched before it could answer: the master hears nothing.
                    if (switches.link_adopt_now) return {};
                }
            }
        } else {
            device->Advance(seconds);
            reply.push_back(kRead);
            reply.push_back(static_cast<std::uint8_t>(2 * count));
            for (std::uint16_t i = 0; i < count; ++i) {
                AppendWord(reply, device->Get(static_cast<std::uint16_t>(start + i)));
            }
        }
    } else if (function == kFlashErase || function == kFlashProgram || function == kLoaderOpen ||
               function == kLoaderClose) {
        std::vector<std::uint8_t> body;
        for (Slot* s : here) {
            body = s->device->LoaderReply(request);
            if (!body.empty()) break;
        }
        if (body.empty()) {
            exception(kIllegalFunction);
        } else {
            reply.insert(reply.end(), body.begin(), body.end());
        }
    } else {
        exception(kIllegalFunction);
    }

    std::uint16_t crc = Crc16(reply.data(), reply.size());
    if (switches.corrupt_crc) crc = static_cast<std::uint16_t>(~crc);
    reply.push_back(static_cast<std::uint8_t>(crc));
    reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    return reply;
}

}  // namespace veltrona::sim
