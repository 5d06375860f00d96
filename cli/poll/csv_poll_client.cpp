#include "cli/poll/csv_poll_client.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "devices/bms/bms_map.h"
#include "devices/bus_devices.h"
#include "devices/charger/charger_map.h"
#include "devices/inverter/inverter_map.h"
#include "link/catalogue.h"
#include "link/serial_port.h"
#include "link/value_format.h"

namespace veltrona {
namespace {

// A CSV field, quoted when it holds a separator, a quote or a line break.
std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// The lookups of a device whose register map is known.
struct KnownMap {
    const RegisterDescriptor* (*descriptor)(std::size_t block, std::size_t index);
    std::string (*name)(std::size_t block, std::size_t index);
};

// A name of a map that keeps its names as constant texts.
template <std::string_view (*Name)(std::size_t, std::size_t)>
std::string NameText(std::size_t block, std::size_t index) {
    return std::string(Name(block, index));
}

std::optional<KnownMap> MapOf(std::size_t device) {
    if (device == kChargerIndex) return KnownMap{ChargerDescriptor, NameText<ChargerRegisterName>};
    if (device == kInverterIndex)
        return KnownMap{InverterDescriptor, NameText<InverterRegisterName>};
    if (device == kBmsIndex) return KnownMap{BmsDescriptor, BmsRegisterName};
    return std::nullopt;
}

}  // namespace

std::string FormatIsoMillis(WallClock::time_point when) {
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03lld%c%02ld:%02ld", date,
                  static_cast<long long>(millis % 1000), offset < 0 ? '-' : '+',
                  std::labs(offset) / 60, std::labs(offset) % 60);
    return text;
}

void CsvPollClient::WriteHeader(std::ostream& out) {
    out << "time,device,address,raw,value,name\n";
}

void CsvPollClient::OnStatusLine(std::uint16_t code, WallClock::time_point when) {
    if (code == 1) open_failed_ = true;
    if (code == 0) line_lost_ = false;
    log_ << FormatIsoMillis(when) << "  " << SerialPort::StatusText(code) << '\n';
}

void CsvPollClient::OnWaitError(int code, WallClock::time_point when) {
    log_ << FormatIsoMillis(when) << "  " << code << "  " << std::strerror(code) << '\n';
}

void CsvPollClient::OnLineLost(WallClock::time_point when) {
    line_lost_ = true;
    log_ << FormatIsoMillis(when) << "  Связь с портом потеряна\n";
}

void CsvPollClient::ShowMessage(std::string_view text, std::string_view caption) {
    log_ << caption << ": " << text << '\n';
}

void CsvPollClient::OnTransaction(std::size_t device, DeviceModel& model, bool answered) {
    if (model.phase != kPhaseRead || model.transaction.operation != kOpRead) return;
    RegisterBlock* block = model.CurrentBlock();
    if (block == nullptr) return;
    if (first_device_ == SIZE_MAX) first_device_ = device;
    if (device == first_device_ && model.current_block == 0 && block->current_request == 0) {
        ++turns_of_first_;
    }
    if (!answered) return;
    if (seen_.size() <= device) seen_.resize(device + 1);
    auto& blocks = seen_[device];
    if (blocks.size() < model.blocks.size()) blocks.resize(model.blocks.size());
    auto& seen = blocks[model.current_block];
    seen.resize(block->count);

    const std::string time = FormatIsoMillis(stamp_);
    const std::string_view key = DeviceKindKey(device);
    const std::size_t first = model.transaction.start - block->base;
    const std::size_t last = std::min<std::size_t>(first + model.transaction.count, block->count);
    for (std::size_t i = first; i < last; ++i) {
        if (!TestBit(block->fresh_map, i)) continue;
        ClearBit(block->fresh_map, i);
        const bool changed = TestBit(block->changed_map, i);
        ClearBit(block->changed_map, i);
        if (changes_only_ && seen[i] && !changed) continue;
        seen[i] = true;
        char address[8];
        std::snprintf(address, sizeof address, "0x%04X", static_cast<unsigned>(block->base + i));
        out_ << time << ',' << key << ',' << address << ',' << block->values_read[i] << ',';
        // A pair's lower half has no value.
        if (const std::optional<KnownMap> map = MapOf(device)) {
            if (const RegisterDescriptor* descriptor = map->descriptor(model.current_block, i)) {
                out_ << CsvField(FormatRegister(*descriptor, block->values_read, i, '.'));
            }
            out_ << ',' << CsvField(map->name(model.current_block, i));
        } else {
            out_ << ',';
        }
        out_ << '\n';
    }
}

}  // namespace veltrona
