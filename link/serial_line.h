#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "link/port_settings.h"

namespace veltrona {

// Line events, by their bits in an event mask.
inline constexpr std::uint16_t kEvRxChar = 0x0001;
inline constexpr std::uint16_t kEvRxFlag = 0x0002;
inline constexpr std::uint16_t kEvTxEmpty = 0x0004;
inline constexpr std::uint16_t kEvCts = 0x0008;
inline constexpr std::uint16_t kEvDsr = 0x0010;
inline constexpr std::uint16_t kEvRlsd = 0x0020;
inline constexpr std::uint16_t kEvBreak = 0x0040;
inline constexpr std::uint16_t kEvErr = 0x0080;
inline constexpr std::uint16_t kEvRing = 0x0100;
inline constexpr std::uint16_t kEvAll = 0x01FF;

inline constexpr std::int64_t kDefaultWaitMicros = 1000;

// What the port worker needs of a serial line; the real port and test lines implement it.
// Only the worker thread calls it.
class SerialLine {
  public:
    virtual ~SerialLine() = default;
    // error gets the platform's text of the failure.
    virtual bool Open(const PortSettings& settings, const std::string& path,
                      std::string& error) = 0;
    virtual void Close() = 0;
    // Waits at most wait_us (1 ms unless the caller knows no timer of its own is due
    // sooner). True with status 1 when events arrived; a plain time-out gives status 3, a
    // failure a non-zero error code, after the whole wait.
    virtual bool WaitEvent(std::uint32_t& status, std::uint16_t& mask, int& error_code,
                           std::int64_t wait_us = kDefaultWaitMicros) = 0;
    virtual std::size_t BytesQueued() = 0;
    virtual bool Read(std::uint8_t* buffer, std::size_t count, std::size_t& received,
                      std::size_t capacity) = 0;
    virtual bool Write(const std::uint8_t* data, std::size_t count) = 0;
};

// The system's serial port behind the line interface.
std::unique_ptr<SerialLine> MakeSystemSerialLine();

}  // namespace veltrona
