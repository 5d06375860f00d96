#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "devices/charger/charger_view.h"
#include "link/link_client.h"

namespace veltrona {

// A settings write the device answered with an exception.
struct RefusedWrite {
    std::uint16_t address = 0;  // first register of the request
    std::uint8_t exception = 0;
};

// Follows the charger's transactions for the settings tool: takes what is read into the view
// and tells when what the tool waits for has arrived, or cannot arrive.
class SettingsClient final : public LinkClient {
  public:
    // Turns of the cycle a wait may take before it fails; a reply lost now and then only
    // moves the rest of a turn to the next.
    static constexpr std::uint32_t kTurnBudget = 5;

    SettingsClient(ChargerView& view, std::ostream& log, bool show_progress)
        : view_(view), log_(log), show_progress_(show_progress) {}

    // Waits for every register of the block, counting only reads from now on.
    void AwaitBlock(std::size_t block, std::string label);
    // Waits for a reply to every settings write queued.
    void AwaitSettingsWrites(std::string label);

    bool done() const { return done_; }
    // Empty while nothing has failed.
    const std::string& failure() const { return failure_; }
    bool finished() const { return done_ || !failure_.empty(); }
    // Kept across waits.
    const std::vector<RefusedWrite>& refused_writes() const { return refused_; }

    void OnStatusLine(std::uint16_t code, WallClock::time_point when) override;
    void OnLineLost(WallClock::time_point when) override;
    void OnOpened() override;
    void OnTransaction(std::size_t device, DeviceModel& model, bool answered) override;
    void ShowMessage(std::string_view text, std::string_view caption) override;
    bool WantsTicks() const override { return false; }

  private:
    enum class Awaiting { kNothing, kBlock, kWrites };

    void Begin(Awaiting what, std::string label);
    void AfterRead(DeviceModel& model, bool answered);
    void AfterWrite(const DeviceModel& model, bool answered);
    void CheckBlock(const DeviceModel& model);
    void Progress(std::size_t position, std::size_t maximum);
    void Finish();
    void Fail(std::string reason);

    ChargerView& view_;
    std::ostream& log_;
    bool show_progress_;
    Awaiting awaiting_ = Awaiting::kNothing;
    std::string label_;
    std::size_t block_ = 0;
    std::vector<bool> delivered_;
    std::uint32_t turns_ = 0;
    bool done_ = false;
    std::string failure_;
    // The last read of the awaited block that an exception refused.
    std::string read_exception_;
    std::vector<RefusedWrite> refused_;
    std::size_t shown_ = SIZE_MAX;
};

}  // namespace veltrona
