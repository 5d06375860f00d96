#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "link/monotonic_clock.h"

namespace veltrona {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kPatienceMicros = 2'000'000;

PortSettings Settings(std::int32_t baudrate, std::int32_t data_bits = 8, std::int32_t parity = 0,
                      std::int32_t stop_bits = 0) {
    PortSettings settings;
    settings.Baudrate = baudrate;
    settings.DataBits = data_bits;
    settings.Parity = parity;
    settings.StopBits = stop_bits;
    return settings;
}

speed_t OutputSpeed(const termios& tio) {
    return cfgetospeed(&tio);
}

TEST(BuildTermios, RatesOutsideTheListRunAt9600) {
    for (const std::int32_t rate : {230400, 14400, 0}) {
        const LineTermios line = BuildTermios(termios{}, Settings(rate));
        EXPECT_EQ(line.baudrate, 9600) << rate;
        EXPECT_FALSE(line.custom_rate) << rate;
        EXPECT_EQ(OutputSpeed(line.tio), B9600) << rate;
    }
    EXPECT_EQ(OutputSpeed(BuildTermios(termios{}, Settings(300)).tio), B300);
    EXPECT_EQ(OutputSpeed(BuildTermios(termios{}, Settings(115200)).tio), B115200);
    const LineTermios fast = BuildTermios(termios{}, Settings(256000));
    EXPECT_EQ(fast.baudrate, 256000);
    EXPECT_TRUE(fast.custom_rate);
}

TEST(BuildTermios, RawFrameFormatFallsBackToEightNoneOne) {
    struct Case {
        std::int32_t data_bits, parity, stop_bits;
        tcflag_t expected;
    };
    constexpr Case kCases[] = {
        {9, 7, 3, CS8},
        {5, 0, 0, CS5},
        {7, 1, 1, CS7 | PARENB | PARODD | CSTOPB},
        {6, 2, 2, CS6 | PARENB | CSTOPB},
        {8, 3, 0, CS8 | PARENB | CMSPAR | PARODD},
        {8, 4, -1, CS8 | PARENB | CMSPAR},
    };
    termios current{};
    current.c_iflag = IXON | IXOFF | ICRNL | INPCK;
    current.c_lflag = ICANON | ECHO;
    current.c_cflag = CRTSCTS | PARENB | CSTOPB;
    current.c_cc[VMIN] = 1;
    current.c_cc[VTIME] = 5;
    for (const Case& c : kCases) {
        const termios tio =
            BuildTermios(current, Settings(9600, c.data_bits, c.parity, c.stop_bits)).tio;
        EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS), c.expected)
            << c.data_bits << "/" << c.parity << "/" << c.stop_bits;
        EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
        EXPECT_EQ(tio.c_cc[VMIN] + tio.c_cc[VTIME], 0);
    }
}

TEST(StatusText, CodesAboveThreeShareTheLastText) {
    EXPECT_EQ(SerialPort::StatusText(0), "Порт открыт");
    EXPECT_EQ(SerialPort::StatusText(1), "Ошибка открытия порта");
    EXPECT_EQ(SerialPort::StatusText(2), "Порт закрыт");
    EXPECT_EQ(SerialPort::StatusText(3), "Событие не определено");
    EXPECT_EQ(SerialPort::StatusText(9), "Событие не определено");
}

// The port opens a pseudo-terminal's slave; the test plays the device on the master.
class PtyPort : public ::testing::Test {
  protected:
    void SetUp() override {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_) | unlockpt(master_), 0);
        path_ = ptsname(master_);
        // Our own hold on the slave keeps the master readable when the port closes.
        keeper_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(keeper_, 0);
    }

    void TearDown() override {
        port_.Close();
        close(keeper_);
        if (master_ >= 0) close(master_);
    }

    void OpenPort(const PortSettings& settings = Settings(115200)) {
        std::string error;
        ASSERT_TRUE(port_.Open(settings, path_, error)) << error;
    }

    termios MasterTermios() const {
        termios tio{};
        EXPECT_EQ(tcgetattr(master_, &tio), 0);
        return tio;
    }

    // Every event seen until one of the wanted ones arrives (or the patience runs out).
    std::uint16_t WaitFor(std::uint16_t wanted) {
        std::uint16_t seen = 0;
        for (const std::int64_t end = MonotonicMicros() + kPatienceMicros;
             (seen & wanted) == 0 && MonotonicMicros() < end;) {
            std::uint32_t status = 0;
            std::uint16_t mask = 0;
            int error = 0;
            EXPECT_EQ(port_.WaitEvent(status, mask, error) ? 1u : 3u, status);
            EXPECT_EQ(error, 0);
            seen |= mask;
        }
        return seen;
    }

    bool WaitQueued(std::size_t count) {
        const std::int64_t end = MonotonicMicros() + kPatienceMicros;
        while (port_.BytesQueued() < count && MonotonicMicros() < end)
            std::this_thread::yield();
        return port_.BytesQueued() >= count;
    }

    Bytes ReadMaster(std::size_t count) const {
        Bytes bytes(count);
        std::size_t got = 0;
        for (const std::int64_t end = MonotonicMicros() + kPatienceMicros;
             got < count && MonotonicMicros() < end;) {
            pollfd descriptor{master_, POLLIN, 0};
            if (poll(&descriptor, 1, 10) <= 0) continue;
            const ssize_t n = read(master_, bytes.data() + got, count - got);
            if (n > 0) got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        return bytes;
    }

    int master_ = -1;
    int keeper_ = -1;
    std::string path_;
    SerialPort port_;
};

TEST_F(PtyPort, OpenConfiguresTheLine) {
    OpenPort(Settings(230400, 8, 0, 1));
    termios tio = MasterTermios();
    EXPECT_EQ(OutputSpeed(tio), B9600);
    EXPECT_EQ(tio.c_cflag & CSTOPB, CSTOPB);
    EXPECT_EQ(tio.c_lflag & ICANON, 0u);
    port_.Close();

    OpenPort(Settings(256000));
    tio = MasterTermios();
    EXPECT_EQ(tio.c_cflag & CBAUD, static_cast<tcflag_t>(CBAUDEX));  // a rate set through BOTHER
}

TEST_F(PtyPort, OpenIsExclusiveAndFailsWithTheSystemText) {
    OpenPort();
    ASSERT_EQ(write(master_, "xy", 2), 2);
    ASSERT_TRUE(WaitQueued(2));
    SerialPort second;
    std::string error;
    EXPECT_FALSE(second.Open(Settings(9600), path_, error));
    EXPECT_EQ(error, std::strerror(EWOULDBLOCK));
    // The refused open must leave the first port's line and queues alone.
    EXPECT_EQ(OutputSpeed(MasterTermios()), B115200);
    EXPECT_EQ(port_.BytesQueued(), 2u);
    port_.Close();
    EXPECT_TRUE(second.Open(Settings(9600), path_, error)) << error;

    EXPECT_FALSE(port_.Open(Settings(9600), "", error));
    EXPECT_EQ(error, std::strerror(ENOENT));
    EXPECT_FALSE(port_.Open(Settings(9600), "/dev/null", error));
    EXPECT_EQ(error, std::strerror(ENOTTY));
}

TEST_F(PtyPort, QuietLineTimesOutAfterAMillisecond) {
    OpenPort();
    for (int call = 0; call < 2; ++call) {
        std::uint32_t status = 0;
        std::uint16_t mask = 0xFFFF;
        int error = -1;
        const std::int64_t start = MonotonicMicros();
        EXPECT_FALSE(port_.WaitEvent(status, mask, error));
        EXPECT_GE(MonotonicMicros() - start, 1000);
        EXPECT_EQ(status, 3u);
        EXPECT_EQ(mask, 0);
        EXPECT_EQ(error, 0);
    }
}

TEST_F(PtyPort, ReceivedBytesRaiseRxCharAndReadOneLessThanCapacity) {
    OpenPort();
    Bytes buffer(4096);
    std::size_t received = 99;
    EXPECT_TRUE(port_.Read(buffer.data(), 10, received, buffer.size()));
    EXPECT_EQ(received, 0u);

    Bytes sent(5000);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(write(master_, sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
    EXPECT_NE(WaitFor(kEvRxChar) & kEvRxChar, 0);
    ASSERT_TRUE(WaitQueued(4095));
    ASSERT_TRUE(port_.Read(buffer.data(), 5000, received, buffer.size()));
    ASSERT_EQ(received, 4095u);
    Bytes got(buffer.begin(), buffer.begin() + 4095);
    for (const std::int64_t end = MonotonicMicros() + kPatienceMicros;
         got.size() < sent.size() && MonotonicMicros() < end;) {
        ASSERT_TRUE(port_.Read(buffer.data(), sent.size() - got.size(), received, buffer.size()));
        got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<long>(received));
    }
    EXPECT_EQ(got, sent);
}

TEST_F(PtyPort, WriteReachesTheDeviceAndTxEmptyComesOnce) {
    OpenPort();
    const Bytes frame = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    ASSERT_TRUE(port_.Write(frame.data(), frame.size()));
    EXPECT_EQ(ReadMaster(frame.size()), frame);
    EXPECT_NE(WaitFor(kEvTxEmpty) & kEvTxEmpty, 0);
    std::uint32_t status = 0;
    std::uint16_t mask = 0;
    int error = 0;
    EXPECT_FALSE(port_.WaitEvent(status, mask, error));
    EXPECT_EQ(status, 3u);
}

TEST_F(PtyPort, WriteWaitsForRoomButNotWithoutEnd) {
    OpenPort(Settings(256000));
    Bytes data(300'000);  // far more than the pty holds
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i % 251);
    Bytes got;
    std::thread device([&] { got = ReadMaster(data.size()); });
    EXPECT_TRUE(port_.Write(data.data(), data.size()));
    device.join();
    EXPECT_EQ(got, data);

    EXPECT_FALSE(port_.Write(data.data(), 30'000));  // nobody reads any more
    // The refused frame's queued rest is dropped, so the next frame goes out at once; only
    // what the far end had already taken in (its 4 KiB line buffer) comes before it.
    const Bytes frame{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    ASSERT_TRUE(port_.Write(frame.data(), frame.size()));
    const Bytes after = ReadMaster(40'000);
    ASSERT_GE(after.size(), frame.size());
    EXPECT_LE(after.size(), 4096 + frame.size());
    EXPECT_TRUE(std::equal(frame.rbegin(), frame.rend(), after.rbegin()));
}

TEST_F(PtyPort, HangUpFailsEveryCallAtTheWorkerPace) {
    OpenPort();
    close(master_);
    master_ = -1;
    constexpr int kCalls = 20;
    const std::int64_t start = MonotonicMicros();
    for (int call = 0; call < kCalls; ++call) {
        std::uint32_t status = 0;
        std::uint16_t mask = 0;
        int error = 0;
        EXPECT_FALSE(port_.WaitEvent(status, mask, error));
        EXPECT_NE(error, 0);
        EXPECT_NE(status, 1u);
    }
    EXPECT_GE(MonotonicMicros() - start, kCalls * 500);
    EXPECT_FALSE(port_.Write(Bytes(4).data(), 4));
}

}  // namespace
}  // namespace veltrona
