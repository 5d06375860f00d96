#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/port_settings.h"
#include "link/serial_line.h"

namespace veltrona {

// The line settings of a port as termios fields. A rate that the termios speed table lacks
// (custom_rate) leaves the speed fields at 9600 for the caller to replace through BOTHER.
struct LineTermios {
    termios tio{};
    std::int32_t baudrate = 9600;
    bool custom_rate = false;
};

// Raw line from the settings; values outside the accepted sets fall back to 9600 baud,
// 8 data bits, no parity and one stop bit.
LineTermios BuildTermios(const termios& current, const PortSettings& settings);

// True for the rates the port can run at (300 to 115200 of the usual series, and 256000).
bool IsSupportedBaudrate(std::int32_t rate);

// A serial line on a POSIX terminal device. Only the port worker thread uses it.
class SerialPort final : public SerialLine {
  public:
    SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    ~SerialPort() override;

    // Takes the device exclusively; error gets the system's text of the failing call.
    bool Open(const PortSettings& settings, const std::string& path, std::string& error) override;
    void Close() override;
    bool WaitEvent(std::uint32_t& status, std::uint16_t& mask, int& error_code,
                   std::int64_t wait_us = kDefaultWaitMicros) override;
    std::size_t BytesQueued() override;
    // Never blocks: with nothing queued it succeeds with 0 received.
    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t& received,
              std::size_t capacity) override;
    // Gives up when the line has not taken every byte within the frame's wire time + 100 ms.
    bool Write(const std::uint8_t* data, std::size_t count) override;

    // Texts of the port status codes 0-3; larger codes give the text of code 3.
    static std::string_view StatusText(std::uint32_t code);

  private:
    std::uint16_t LineChanges(int& error_code);
    std::uint16_t ModemChanges(int& error_code);
    std::uint16_t CounterChanges(int& error_code);

    int fd_ = -1;
    std::int32_t baudrate_ = 9600;
    int bits_per_char_ = 10;
    bool tx_pending_ = false;
    bool modem_supported_ = false;
    bool counters_supported_ = false;
    int modem_lines_ = 0;
    std::int64_t next_modem_poll_ = 0;
    std::int64_t break_count_ = 0;
    std::int64_t error_count_ = 0;
};

}  // namespace veltrona
