#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sim/link_set.h"

namespace veltrona::sim {

// What a character costs on the line the client set up.
struct LineTiming {
    std::uint32_t baud = 115200;
    std::uint32_t bits_per_char = 10;  // start + data + parity + stop
};

// Microseconds that `bytes` characters take on the line, rounded up.
std::int64_t WireTimeUs(std::size_t bytes, const LineTiming& timing);

// The silence that ends a frame: 3.5 characters, but never under 1750 us, as fast lines use.
std::int64_t FrameSilenceUs(const LineTiming& timing);

// The stand-ins' end of the line: the master of a pseudo-terminal or a real serial device.
class SerialLine {
  public:
    // Null on failure, with the reason in error.
    static std::unique_ptr<SerialLine> OpenPty(std::string& error);
    static std::unique_ptr<SerialLine> OpenDevice(const std::string& path, std::uint32_t baud,
                                                  std::string& error);
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    int Fd() const { return fd_; }
    // The path a client opens: the pty's slave, or the device itself.
    const std::string& ClientPath() const { return client_path_; }
    // Read afresh each time: the client may change its line settings at any moment.
    LineTiming Timing() const;
    // Takes a device's new line settings once the bytes written so far have left; false when
    // the line refuses them. With 8 data bits termios has no 1.5 stop bits: two stand in.
    bool SetFormat(const LinkSettings& link);
    // Closing the pty master is what the client sees as an unplugged adapter.
    void Close();

  private:
    SerialLine(int fd, int slave_fd, std::string client_path);
    int fd_ = -1;
    int slave_fd_ = -1;
    std::string client_path_;
};

// Creates (or replaces) the symbolic link folder/ports/COMn to target, creating the folders.
// Returns the link's path, or an empty string with the reason in error.
std::string CreatePortLink(const std::string& folder, int com, const std::string& target,
                           std::string& error);

}  // namespace veltrona::sim
