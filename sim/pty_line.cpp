#include "sim/pty_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace veltrona::sim {
namespace {

struct SpeedRow {
    speed_t code;
    std::uint32_t baud;
};

constexpr SpeedRow kSpeeds[] = {
    {B1200, 1200},       {B2400, 2400},       {B4800, 4800},       {B9600, 9600},
    {B19200, 19200},     {B38400, 38400},     {B57600, 57600},     {B115200, 115200},
    {B230400, 230400},   {B460800, 460800},   {B500000, 500000},   {B576000, 576000},
    {B921600, 921600},   {B1000000, 1000000}, {B1500000, 1500000}, {B2000000, 2000000},
    {B3000000, 3000000}, {B4000000, 4000000},
};

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool SetRaw(int fd, speed_t speed) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | PARENB);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

std::int64_t WireTimeUs(std::size_t bytes, const LineTiming& timing) {
    if (timing.baud == 0) return 0;
    const std::int64_t bits = static_cast<std::int64_t>(bytes) * timing.bits_per_char;
    return (bits * 1'000'000 + timing.baud - 1) / timing.baud;
}

std::int64_t FrameSilenceUs(const LineTiming& timing) {
    if (timing.baud == 0) return 1750;
    const std::int64_t tenths = 35 * static_cast<std::int64_t>(timing.bits_per_char);
    return std::max<std::int64_t>(1750, (tenths * 100'000 + timing.baud - 1) / timing.baud);
}

SerialLine::SerialLine(int fd, int slave_fd, std::string client_path)
    : fd_(fd), slave_fd_(slave_fd), client_path_(std::move(client_path)) {}

SerialLine::~SerialLine() {
    Close();
}

void SerialLine::Close() {
    if (slave_fd_ >= 0) close(slave_fd_);
    if (fd_ >= 0) close(fd_);
    fd_ = slave_fd_ = -1;
}

std::unique_ptr<SerialLine> SerialLine::OpenPty(std::string& error) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0) {
        error = Errno("posix_openpt");
        return nullptr;
    }
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        error = Errno("pseudo-terminal");
        close(master);
        return nullptr;
    }
    // Held open so that the master never reads EIO while no client has the slave open;
    // raw so that a client which sets nothing still gets bytes unchanged and no echo.
    int slave = open(name, O_RDWR | O_NOCTTY);
    if (slave < 0 || !SetRaw(slave, B115200)) {
        error = Errno(name);
        if (slave >= 0) close(slave);
        close(master);
        return nullptr;
    }
    return std::unique_ptr<SerialLine>(new SerialLine(master, slave, name));
}

std::unique_ptr<SerialLine> SerialLine::OpenDevice(const std::string& path, std::uint32_t baud,
                                                   std::string& error) {
    auto row = std::find_if(std::begin(kSpeeds), std::end(kSpeeds),
                            [&](const SpeedRow& r) { return r.baud == baud; });
    if (row == std::end(kSpeeds)) {
        error = "unsupported line speed " + std::to_string(baud);
        return nullptr;
    }
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = Errno(path.c_str());
        return nullptr;
    }
    if (!SetRaw(fd, row->code)) {
        error = Errno(path.c_str());
        close(fd);
        return nullptr;
    }
    tcflush(fd, TCIOFLUSH);
    return std::unique_ptr<SerialLine>(new SerialLine(fd, -1, path));
}

bool SerialLine::SetFormat(const LinkSettings& link) {
    auto row = std::find_if(std::begin(kSpeeds), std::end(kSpeeds),
                            [&](const SpeedRow& r) { return r.baud == link.baud; });
    termios t{};
    if (row == std::end(kSpeeds) || fd_ < 0 || tcgetattr(fd_, &t) != 0) return false;
    t.c_cflag &= ~(PARENB | PARODD | CSTOPB);
    if (link.parity != Parity::kNone) t.c_cflag |= PARENB;
    if (link.parity == Parity::kOdd) t.c_cflag |= PARODD;
    if (link.stop_bits != StopBits::kOne) t.c_cflag |= CSTOPB;
    cfsetispeed(&t, row->code);
    cfsetospeed(&t, row->code);
    return tcsetattr(fd_, TCSADRAIN, &t) == 0;
}

LineTiming SerialLine::Timing() const {
    LineTiming timing;
    termios t{};
    if (fd_ < 0 || tcgetattr(fd_, &t) != 0) return timing;
    const speed_t speed = cfgetospeed(&t);
    auto row = std::find_if(std::begin(kSpeeds), std::end(kSpeeds),
                            [&](const SpeedRow& r) { return r.code == speed; });
    if (row != std::end(kSpeeds)) timing.baud = row->baud;
    std::uint32_t data_bits = 8;
    switch (t.c_cflag & CSIZE) {
        case CS5:
            data_bits = 5;
            break;
        case CS6:
            data_bits = 6;
            break;
        case CS7:
            data_bits = 7;
            break;
        default:
            break;
    }
    timing.bits_per_char =
        1 + data_bits + ((t.c_cflag & PARENB) != 0 ? 1 : 0) + ((t.c_cflag & CSTOPB) != 0 ? 2 : 1);
    return timing;
}

std::string CreatePortLink(const std::string& folder, int com, const std::string& target,
                           std::string& error) {
    const std::string ports = folder + "/ports";
    for (const std::string& dir : {folder, ports}) {
        if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
            error = Errno(dir.c_str());
            return {};
        }
    }
    const std::string link = ports + "/COM" + std::to_string(com);
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        // Only a link is ours to replace; anything else there is somebody's file.
        if (!S_ISLNK(st.st_mode)) {
            error = link + " exists and is not a link";
            return {};
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = Errno(link.c_str());
        return {};
    }
    return link;
}

}  // namespace veltrona::sim
