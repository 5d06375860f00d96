#include "link/serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>

#include "link/monotonic_clock.h"
#include "link/termios2_rate.h"

namespace veltrona {

namespace {

struct RateEntry {
    std::int32_t rate;
    speed_t speed;  // B0: not in the termios table, set through BOTHER
};

constexpr RateEntry kRates[] = {
    {300, B300},     {600, B600},       {1200, B1200},   {2400, B2400},
    {4800, B4800},   {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {256000, B0},
};

constexpr tcflag_t kDataBits[] = {CS5, CS6, CS7, CS8};  // 5 to 8 data bits
constexpr int kFirstDataBits = 5;

constexpr tcflag_t kParity[] = {
    0,                         // none
    PARENB | PARODD,           // odd
    PARENB,                    // even
    PARENB | CMSPAR | PARODD,  // mark
    PARENB | CMSPAR,           // space
};

struct ModemEvent {
    int line;
    std::uint16_t event;
};

constexpr ModemEvent kModemEvents[] = {
    {TIOCM_CTS, kEvCts},
    {TIOCM_DSR, kEvDsr},
    {TIOCM_CD, kEvRlsd},
    {TIOCM_RI, kEvRing},
};

constexpr std::string_view kStatusTexts[] = {
    "Порт открыт",
    "Ошибка открытия порта",
    "Порт закрыт",
    "Событие не определено",
};

constexpr std::uint32_t kStatusEvent = 1;
constexpr std::uint32_t kStatusTimeout = 3;
constexpr std::int64_t kWriteSlackMicros = 100'000;
// USB adapters answer TIOCMGET with a control transfer on the bus; asking every millisecond
// would cost as much as the wait itself.
constexpr std::int64_t kModemPollMicros = 10'000;

// Drivers without modem lines or error counters say so with one of these.
bool Unsupported(int error) {
    return error == ENOTTY || error == EINVAL;
}

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

int BitsPerChar(const termios& tio) {
    const auto data = std::find(std::begin(kDataBits), std::end(kDataBits), tio.c_cflag & CSIZE);
    return 1 + kFirstDataBits + static_cast<int>(data - std::begin(kDataBits)) +
           ((tio.c_cflag & PARENB) != 0 ? 1 : 0) + ((tio.c_cflag & CSTOPB) != 0 ? 2 : 1);
}

// ppoll() up to an absolute monotonic deadline, resumed after signals.
int PollUntil(pollfd& descriptor, std::int64_t deadline) {
    for (;;) {
        const std::int64_t left = std::max<std::int64_t>(0, deadline - MonotonicMicros());
        const timespec wait{static_cast<time_t>(left / 1'000'000),
                            static_cast<long>(left % 1'000'000 * 1000)};
        const int ready = ppoll(&descriptor, 1, &wait, nullptr);
        if (ready >= 0 || errno != EINTR) return ready;
    }
}

void SleepUntil(std::int64_t deadline) {
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::max<std::int64_t>(0, deadline - MonotonicMicros())));
}

}  // namespace

LineTermios BuildTermios(const termios& current, const PortSettings& settings) {
    LineTermios line;
    line.tio = current;
    cfmakeraw(&line.tio);
    line.tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    line.tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    line.tio.c_cflag |= CLOCAL | CREAD;
    const bool data_bits_valid = settings.DataBits >= kFirstDataBits &&
                                 settings.DataBits < kFirstDataBits + std::ssize(kDataBits);
    line.tio.c_cflag |= data_bits_valid ? kDataBits[settings.DataBits - kFirstDataBits] : CS8;
    if (settings.Parity >= 0 && settings.Parity < std::ssize(kParity)) {
        line.tio.c_cflag |= kParity[settings.Parity];
    }
    // termios has no one and a half stop bits; two is the nearer safe choice.
    if (settings.StopBits == 1 || settings.StopBits == 2) line.tio.c_cflag |= CSTOPB;
    line.tio.c_cc[VMIN] = 0;
    line.tio.c_cc[VTIME] = 0;

    speed_t speed = B9600;
    for (const RateEntry& entry : kRates) {
        if (entry.rate != settings.Baudrate) continue;
        line.baudrate = entry.rate;
        line.custom_rate = entry.speed == B0;
        if (!line.custom_rate) speed = entry.speed;
    }
    cfsetispeed(&line.tio, speed);
    cfsetospeed(&line.tio, speed);
    return line;
}

bool IsSupportedBaudrate(std::int32_t rate) {
    for (const RateEntry& entry : kRates) {
        if (entry.rate == rate) return true;
    }
    return false;
}

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Open(const PortSettings& settings, const std::string& path, std::string& error) {
    Close();
    error.clear();
    // No flush on failure: when the lock was refused the queues belong to someone else.
    const auto fail = [this, &error](int code) {
        error = ErrorText(code);
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        return false;
    };
    if (path.empty()) return fail(ENOENT);
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return fail(errno);
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return fail(errno);

    termios current{};
    if (tcgetattr(fd_, &current) != 0) return fail(errno);
    const LineTermios line = BuildTermios(current, settings);
    if (tcsetattr(fd_, TCSANOW, &line.tio) != 0) return fail(errno);
    if (line.custom_rate) {
        if (const int code = SetCustomBaudrate(fd_, line.baudrate); code != 0) return fail(code);
    }
    // The device must not see a raised DTR or RTS as a request of ours.
    const int lowered = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd_, TIOCMBIC, &lowered) != 0 && !Unsupported(errno)) return fail(errno);
    if (tcflush(fd_, TCIOFLUSH) != 0) return fail(errno);

    baudrate_ = line.baudrate;
    bits_per_char_ = BitsPerChar(line.tio);
    tx_pending_ = false;
    modem_supported_ = true;
    counters_supported_ = true;
    modem_lines_ = 0;
    next_modem_poll_ = 0;
    break_count_ = 0;
    error_count_ = 0;
    // The first readings are the baseline that later changes are measured against.
    int code = 0;
    ModemChanges(code);
    CounterChanges(code);
    if (code != 0) return fail(code);
    return true;
}

void SerialPort::Close() {
    if (fd_ < 0) return;
    tcflush(fd_, TCIOFLUSH);
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
}

bool SerialPort::WaitEvent(std::uint32_t& status, std::uint16_t& mask, int& error_code,
                           std::int64_t wait_us) {
    status = 0;
    mask = 0;
    error_code = 0;
    // Failures still take the whole wait so that the worker loop keeps its pace.
    const std::int64_t deadline = MonotonicMicros() + std::max<std::int64_t>(wait_us, 0);
    if (fd_ < 0) {
        error_code = EBADF;
        SleepUntil(deadline);
        return false;
    }
    std::uint16_t events = LineChanges(error_code);
    if (error_code == 0) {
        // Events already at hand only need a look at the receive side, not a wait.
        pollfd descriptor{fd_, POLLIN, 0};
        const int ready = PollUntil(descriptor, events != 0 ? 0 : deadline);
        if (ready < 0) {
            error_code = errno;
        } else if ((descriptor.revents & POLLNVAL) != 0) {
            error_code = EBADF;
        } else if ((descriptor.revents & (POLLHUP | POLLERR)) != 0) {
            error_code = EIO;
        } else {
            if ((descriptor.revents & POLLIN) != 0) events |= kEvRxChar;
            if (events == 0) events = LineChanges(error_code);
        }
    }
    if (error_code != 0) {
        SleepUntil(deadline);
        return false;
    }
    if (events == 0) {
        status = kStatusTimeout;
        return false;
    }
    status = kStatusEvent;
    mask = events;
    return true;
}

std::uint16_t SerialPort::LineChanges(int& error_code) {
    std::uint16_t events = 0;
    if (tx_pending_) {
        int queued = 0;
        if (ioctl(fd_, TIOCOUTQ, &queued) != 0 && !Unsupported(errno)) {
            error_code = errno;
            return 0;
        }
        if (queued == 0) {
            tx_pending_ = false;
            events |= kEvTxEmpty;
        }
    }
    events |= ModemChanges(error_code);
    events |= CounterChanges(error_code);
    return error_code == 0 ? events : 0;
}

std::uint16_t SerialPort::ModemChanges(int& error_code) {
    const std::int64_t now = MonotonicMicros();
    if (!modem_supported_ || now < next_modem_poll_) return 0;
    next_modem_poll_ = now + kModemPollMicros;
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) != 0) {
        if (Unsupported(errno)) {
            modem_supported_ = false;
        } else {
            error_code = errno;
        }
        return 0;
    }
    const int changed = lines ^ modem_lines_;
    modem_lines_ = lines;
    std::uint16_t events = 0;
    for (const ModemEvent& modem : kModemEvents) {
        if ((changed & modem.line) != 0) events |= modem.event;
    }
    return events;
}

std::uint16_t SerialPort::CounterChanges(int& error_code) {
    if (!counters_supported_) return 0;
    serial_icounter_struct counters{};
    if (ioctl(fd_, TIOCGICOUNT, &counters) != 0) {
        if (Unsupported(errno)) {
            counters_supported_ = false;
        } else {
            error_code = errno;
        }
        return 0;
    }
    const std::int64_t breaks = counters.brk;
    const std::int64_t errors =
        std::int64_t{counters.frame} + counters.overrun + counters.parity + counters.buf_overrun;
    std::uint16_t events = 0;
    if (breaks != break_count_) events |= kEvBreak;
    if (errors != error_count_) events |= kEvErr;
    break_count_ = breaks;
    error_count_ = errors;
    return events;
}

std::size_t SerialPort::BytesQueued() {
    int queued = 0;
    if (fd_ < 0 || ioctl(fd_, FIONREAD, &queued) != 0 || queued < 0) return 0;
    return static_cast<std::size_t>(queued);
}

bool SerialPort::Read(std::uint8_t* buffer, std::size_t count, std::size_t& received,
                      std::size_t capacity) {
    received = 0;
    if (fd_ < 0) return false;
    if (count > capacity) count = capacity > 0 ? capacity - 1 : 0;
    if (count == 0) return true;
    ssize_t got = 0;
    do {
        got = read(fd_, buffer, count);
    } while (got < 0 && errno == EINTR);
    // An empty queue is an empty read, not a failure: the caller starts a frame only on data.
    if (got < 0) return errno == EAGAIN;
    received = static_cast<std::size_t>(got);
    return true;
}

bool SerialPort::Write(const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0) return false;
    const std::int64_t wire_micros =
        static_cast<std::int64_t>(count) * bits_per_char_ * 1'000'000 / baudrate_;
    const std::int64_t deadline = MonotonicMicros() + wire_micros + kWriteSlackMicros;
    std::size_t written = 0;
    while (written < count) {
        const ssize_t put = write(fd_, data + written, count - written);
        if (put > 0) {
            written += static_cast<std::size_t>(put);
            tx_pending_ = true;
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        pollfd descriptor{fd_, POLLOUT, 0};
        if ((put < 0 && errno != EAGAIN) || PollUntil(descriptor, deadline) <= 0 ||
            (descriptor.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            // No half frame may stay queued to go out ahead of the next try.
            tcflush(fd_, TCOFLUSH);
            return false;
        }
    }
    return true;
}

std::string_view SerialPort::StatusText(std::uint32_t code) {
    return kStatusTexts[std::min<std::size_t>(code, std::size(kStatusTexts) - 1)];
}

}  // namespace veltrona

namespace veltrona {

std::unique_ptr<SerialLine> MakeSystemSerialLine() {
    return std::make_unique<SerialPort>();
}

}  // namespace veltrona
