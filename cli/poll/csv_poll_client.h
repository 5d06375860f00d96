#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "link/link_client.h"

namespace veltrona {

// Writes a CSV row for every register a read reply delivered and counts the cycle's rounds.
class CsvPollClient final : public LinkClient {
  public:
    CsvPollClient(std::ostream& out, std::ostream& log, bool changes_only)
        : out_(out), log_(log), changes_only_(changes_only) {}

    void OnStatusLine(std::uint16_t code, WallClock::time_point when) override;
    void OnWaitError(int code, WallClock::time_point when) override;
    void OnLineLost(WallClock::time_point when) override;
    void OnReceived(const FrameSlot& frame) override { stamp_ = frame.stamp; }
    void OnTransaction(std::size_t device, DeviceModel& model, bool answered) override;
    void ShowMessage(std::string_view text, std::string_view caption) override;
    bool WantsTicks() const override { return false; }

    bool open_failed() const { return open_failed_; }
    // The adapter was lost and has not come back.
    bool line_lost() const { return line_lost_; }
    // Rounds completed: the first device to be polled has started that many more turns,
    // answered or not.
    std::uint32_t rounds() const { return turns_of_first_ > 0 ? turns_of_first_ - 1 : 0; }

    static void WriteHeader(std::ostream& out);

  private:
    std::ostream& out_;
    std::ostream& log_;
    bool changes_only_;
    bool open_failed_ = false;
    bool line_lost_ = false;
    WallClock::time_point stamp_{};
    std::size_t first_device_ = SIZE_MAX;
    std::uint32_t turns_of_first_ = 0;
    // Per device and block: registers that already have a row.
    std::vector<std::vector<std::vector<bool>>> seen_;
};

// "2026-12-09T08:40:12.345+01:00"
std::string FormatIsoMillis(WallClock::time_point when);

}  // namespace veltrona
