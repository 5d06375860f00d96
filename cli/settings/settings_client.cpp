#include "cli/settings/settings_client.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "devices/bus_devices.h"
#include "devices/charger/charger_blocks.h"
#include "devices/charger/charger_settings_workflow.h"
#include "link/port_worker.h"

namespace veltrona {
namespace {

std::string Hex(std::uint32_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(address));
    return text;
}

bool WritesPending(const DeviceModel& model) {
    const RegisterBlock& block = model.blocks[kChargerBlockSettings];
    return std::any_of(block.write_request_map.begin(), block.write_request_map.end(),
                       [](std::uint8_t bits) { return bits != 0; });
}

}  // namespace

void SettingsClient::Begin(Awaiting what, std::string label) {
    awaiting_ = what;
    label_ = std::move(label);
    turns_ = 0;
    done_ = false;
    read_exception_.clear();
    shown_ = SIZE_MAX;
}

void SettingsClient::AwaitBlock(std::size_t block, std::string label) {
    Begin(Awaiting::kBlock, std::move(label));
    block_ = block;
    delivered_.assign(kChargerBlocks[block].count, false);
}

void SettingsClient::AwaitSettingsWrites(std::string label) {
    Begin(Awaiting::kWrites, std::move(label));
}

void SettingsClient::OnStatusLine(std::uint16_t code, WallClock::time_point) {
    if (code == kStatusOpenFailed) Fail("cannot open the port");
}

void SettingsClient::OnLineLost(WallClock::time_point) {
    Fail("the port was lost");
}

void SettingsClient::OnOpened() {
    MarkChargerPortOpened(view_);
}

void SettingsClient::ShowMessage(std::string_view text, std::string_view caption) {
    log_ << caption << ": " << text << '\n';
}

void SettingsClient::OnTransaction(std::size_t device, DeviceModel& model, bool answered) {
    if (device != kChargerIndex || finished()) return;
    if (!answered && IsUnreachable(model)) return Fail("the charger does not answer");
    if (model.phase == kPhaseRead) {
        AfterRead(model, answered);
    } else if (model.phase == kPhaseWrite && model.current_block == kChargerBlockSettings) {
        AfterWrite(model, answered);
    }
    if (!finished() && turns_ > kTurnBudget) {
        std::string reason = "no complete " + label_ + " within " + std::to_string(kTurnBudget) +
                             " turns of the cycle";
        if (!read_exception_.empty()) reason += " (" + read_exception_ + ")";
        Fail(std::move(reason));
    }
}

void SettingsClient::AfterRead(DeviceModel& model, bool answered) {
    const RegisterBlock* block = model.CurrentBlock();
    if (block == nullptr || model.transaction.operation != kOpRead) return;
    if (model.current_block == 0 && block->current_request == 0) ++turns_;
    if (!answered) return;
    if (awaiting_ == Awaiting::kBlock && model.current_block == block_) {
        const std::size_t first = model.transaction.start - block->base;
        const std::size_t last =
            std::min<std::size_t>(first + model.transaction.count, delivered_.size());
        bool fresh = false;
        for (std::size_t i = first; i < last; ++i) {
            if (!TestBit(block->fresh_map, i)) continue;
            delivered_[i] = true;
            fresh = true;
        }
        if (!fresh && model.transaction.exception != 0) {
            read_exception_ = "exception " + std::to_string(model.transaction.exception) +
                              " to the read of " + Hex(model.transaction.start);
        }
    }
    TakeReceivedValues(model, view_);
    if (awaiting_ == Awaiting::kBlock) CheckBlock(model);
}

void SettingsClient::CheckBlock(const DeviceModel& model) {
    const RegisterBlock& block = model.blocks[block_];
    std::size_t complete = 0;
    for (std::size_t start = 0; start < delivered_.size(); start += block.read_chunk) {
        const auto end = delivered_.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                  start + block.read_chunk, delivered_.size()));
        if (std::all_of(delivered_.begin() + static_cast<std::ptrdiff_t>(start), end,
                        [](bool got) { return got; })) {
            ++complete;
        }
    }
    Progress(complete, block.read_requests);
    if (complete == block.read_requests) Finish();
}

void SettingsClient::AfterWrite(const DeviceModel& model, bool answered) {
    const RegisterBlock& block = model.blocks[kChargerBlockSettings];
    const std::size_t index = model.transaction.start - block.base;
    // Only a reply that was taken marks its registers written.
    if (answered && TestBit(block.write_done_map, index) && model.transaction.exception != 0) {
        refused_.push_back(
            {static_cast<std::uint16_t>(model.transaction.start), model.transaction.exception});
    }
    if (awaiting_ != Awaiting::kWrites) return;
    const SettingsWriteStep step = ChargerSettingsWriteStep(model, kChargerBlockSettings);
    Progress(static_cast<std::size_t>(step.position), static_cast<std::size_t>(step.maximum));
    if (!WritesPending(model)) Finish();
}

void SettingsClient::Progress(std::size_t position, std::size_t maximum) {
    if (!show_progress_ || position == shown_) return;
    shown_ = position;
    log_ << '\r' << label_ << ' ' << position << '/' << maximum << std::flush;
}

void SettingsClient::Finish() {
    done_ = true;
    awaiting_ = Awaiting::kNothing;
    if (shown_ != SIZE_MAX) log_ << '\n';
}

void SettingsClient::Fail(std::string reason) {
    failure_ = std::move(reason);
    awaiting_ = Awaiting::kNothing;
    if (shown_ != SIZE_MAX) log_ << '\n';
}

}  // namespace veltrona
