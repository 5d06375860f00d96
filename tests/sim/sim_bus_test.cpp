#include "sim/sim_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "link/frames.h"

namespace veltrona::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

Bytes WithCrc(Bytes frame) {
    const std::uint16_t crc = Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

Bytes ReadLink(std::uint8_t address) {
    return WithCrc({address, 0x03, 0x20, 0x00, 0x00, 0x03});
}

Bytes LinkReply(std::uint8_t address, std::uint16_t baud_code, std::uint16_t format) {
    return WithCrc({address, 0x03, 6, 0, address, 0, static_cast<std::uint8_t>(baud_code),
                    static_cast<std::uint8_t>(format >> 8), static_cast<std::uint8_t>(format)});
}

class Client {
  public:
    explicit Client(const std::string& path, speed_t speed = B115200) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Client() {
        if (fd_ >= 0) close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    void Send(const Bytes& bytes) {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Collects bytes until `expected` have come or the deadline passes.
    Bytes Receive(std::size_t expected,
                  std::chrono::milliseconds within = std::chrono::seconds(5)) {
        Bytes got;
        const auto deadline = Clock::now() + within;
        while (got.size() < expected && Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
            if ((p.revents & POLLIN) == 0) break;
            std::uint8_t buf[300];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }
    Bytes Ask(const Bytes& request, std::size_t expected) {
        Send(request);
        return Receive(expected);
    }
    int Fd() const { return fd_; }

  private:
    int fd_ = -1;
};

class SimBusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/veltrona-sim-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        options.folder = folder;
        options.com = 4;
        options.switches.turnaround_us = 0;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string folder;
    SimOptions options;
};

TEST_F(SimBusTest, AnnouncesItsPortAndAnswersOverThePty) {
    // A stale link of an earlier run is replaced.
    std::filesystem::create_directories(folder + "/ports");
    std::filesystem::create_symlink("/dev/pts/nothing", folder + "/ports/COM4");

    SimBus bus(options);
    ASSERT_EQ(bus.Start(), "");
    EXPECT_EQ(bus.LinkPath(), folder + "/ports/COM4");
    EXPECT_EQ(std::filesystem::read_symlink(bus.LinkPath()), bus.ClientPath());

    {
        Client client(bus.LinkPath());
        ASSERT_TRUE(client.Ok());
        const Bytes reply = client.Ask(WithCrc({1, 0x03, 0x00, 0x00, 0x00, 0x01}), 7);
        EXPECT_EQ(reply, WithCrc({1, 0x03, 0x02, 0x00, 0x02}));
    }
    // A client that closes leaves the bus serving the next one.
    Client again(bus.ClientPath());
    ASSERT_TRUE(again.Ok());
    Bytes junk_then_read{0xFF, 0x00, 0x03};
    const Bytes read = WithCrc({3, 0x03, 0x00, 0x00, 0x00, 0x32});
    junk_then_read.insert(junk_then_read.end(), read.begin(), read.end());
    const Bytes status = again.Ask(junk_then_read, 105);
    ASSERT_EQ(status.size(), 105u);
    EXPECT_EQ(status[8], BmsSim::kCells);  // design cell number, register 2
    // Each request is logged once, the one behind junk too.
    EXPECT_EQ(bus.RequestCount(), 2u);
    EXPECT_EQ(bus.RequestTimes().size(), 2u);

    bus.Stop();
    EXPECT_FALSE(std::filesystem::is_symlink(folder + "/ports/COM4"));
}

TEST_F(SimBusTest, LineCommandsAndUnplug) {
    SimBus bus(options);
    ASSERT_EQ(bus.Start(), "");
    Client client(bus.ClientPath());
    ASSERT_TRUE(client.Ok());
    const Bytes read = WithCrc({1, 0x03, 0x06, 0x00, 0x00, 0x01});

    EXPECT_EQ(bus.Command("mute charger"), "ok");
    client.Send(read);
    // Something must come back for the test to end: the BMS's link block, right after.
    client.Send(WithCrc({3, 0x03, 0x68, 0x01, 0x00, 0x01}));
    EXPECT_EQ(client.Receive(7), WithCrc({3, 0x03, 0x02, 0x00, 4}));  // its baud index
    EXPECT_EQ(bus.RequestCount(), 2u);  // the muted device's request too
    EXPECT_EQ(bus.Command("unmute charger"), "ok");
    EXPECT_EQ(bus.Command("corrupt-crc on"), "ok");
    const Bytes bent = client.Ask(read, 7);
    ASSERT_EQ(bent.size(), 7u);
    EXPECT_FALSE(CheckCrc(bent.data(), bent.size()));
    EXPECT_EQ(bus.Command("corrupt-crc off"), "ok");
    EXPECT_EQ(bus.Command("charger-error big 59"), "ok");
    EXPECT_EQ(client.Ask(WithCrc({1, 0x03, 0x06, 0x1B, 0x00, 0x01}), 7),
              WithCrc({1, 0x03, 0x02, 0x00, 59}));
    EXPECT_EQ(client.Ask(WithCrc({1, 0x03, 0x06, 0x16, 0x00, 0x01}), 7),
              WithCrc({1, 0x03, 0x02, 0x00, 0x00}));  // the big error stopped the charge
    EXPECT_EQ(bus.Command("charger-error toast 1"), "error: unknown error kind");
    EXPECT_EQ(bus.Command("time-scale 600"), "ok");
    EXPECT_EQ(bus.Command("exception 0x0600 0x063F 4"), "ok");
    EXPECT_EQ(client.Ask(read, 5), WithCrc({1, 0x83, 0x04}));
    EXPECT_EQ(bus.Command("wobble"), "error: unknown command");

    EXPECT_EQ(bus.Command("unplug"), "ok");
    pollfd p{client.Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    EXPECT_NE(p.revents & POLLHUP, 0);
    EXPECT_EQ(bus.ClientPath(), "");
    EXPECT_EQ(bus.Command("unplug"), "error: not plugged");
}

Bytes ReadOne(std::uint8_t address, std::uint16_t start) {
    return WithCrc({address, 0x03, static_cast<std::uint8_t>(start >> 8),
                    static_cast<std::uint8_t>(start), 0, 1});
}

Bytes OneValue(std::uint8_t address, std::uint16_t value) {
    return WithCrc({address, 0x03, 2, static_cast<std::uint8_t>(value >> 8),
                    static_cast<std::uint8_t>(value)});
}

TEST_F(SimBusTest, SetRegistersHoldAgainstTheModelUntilUnset) {
    SimBus bus(options);
    ASSERT_EQ(bus.Start(), "");
    Client client(bus.ClientPath());
    ASSERT_TRUE(client.Ok());
    struct Pin {
        const char* line;
        DeviceId device;
        std::uint8_t address;
        std::uint16_t reg, value;
    };
    // Each a register its stand-in computes on every read.
    const Pin pins[] = {
        {"set inverter 0x0713 0x8001", DeviceId::kInverter, 3, 0x0713, 0x8001},
        {"set charger 0x0613 12345", DeviceId::kCharger, 1, 0x0613, 12345},
        {"set bms 0x0032 2500", DeviceId::kBms, 3, 0x0032, 2500},
    };
    for (const Pin& p : pins) {
        ASSERT_EQ(bus.Command(p.line), "ok") << p.line;
        EXPECT_EQ(bus.Register(p.device, p.reg), p.value) << p.line;
        for (int read = 0; read < 2; ++read)
            EXPECT_EQ(client.Ask(ReadOne(p.address, p.reg), 7), OneValue(p.address, p.value))
                << p.line;
    }
    ASSERT_EQ(bus.Command("unset inverter 0x0713"), "ok");
    EXPECT_EQ(client.Ask(ReadOne(3, 0x0713), 7), OneValue(3, 0));     // no alarm of its own
    EXPECT_EQ(client.Ask(ReadOne(3, 0x0032), 7), OneValue(3, 2500));  // still pinned

    // A pinned setting masks the command that changes it; the master's own write ends the pin.
    const Bytes set_current = WithCrc({3, 0x10, 0x00, 0x0A, 0, 3, 6, 0, 9, 0x03, 0x84, 0, 0});
    ASSERT_EQ(bus.Command("set inverter 0x3617 500"), "ok");
    EXPECT_EQ(client.Ask(set_current, 8).size(), 8u);
    EXPECT_EQ(bus.Register(DeviceId::kInverter, 0x3617), 500);
    EXPECT_EQ(client.Ask(WithCrc({3, 0x10, 0x36, 0x17, 0, 1, 2, 0x02, 0xBC}), 8).size(), 8u);
    EXPECT_EQ(client.Ask(ReadOne(3, 0x3617), 7), OneValue(3, 700));
    EXPECT_EQ(client.Ask(set_current, 8).size(), 8u);
    EXPECT_EQ(bus.Register(DeviceId::kInverter, 0x3617), 900);

    EXPECT_EQ(bus.Command("set inverter 0x5000 1"), "error: inverter has no such register");
    EXPECT_EQ(bus.Command("unset charger 0x0640"), "error: charger has no such register");
    EXPECT_EQ(bus.Command("set inverter 1 0x10000"), "error: bad register value");
}

TEST_F(SimBusTest, SetSwitchesPinFromTheStart) {
    options.registers = {{DeviceId::kInverter, 0x0712, 2}};
    SimBus bus(options);
    ASSERT_EQ(bus.Start(), "");
    Client client(bus.ClientPath());
    EXPECT_EQ(client.Ask(ReadOne(3, 0x0712), 7), OneValue(3, 2));

    options.registers = {{DeviceId::kBms, 0x5000, 1}};
    SimBus refused(options);
    EXPECT_EQ(refused.Start(), "--set: bms has no such register");
    EXPECT_EQ(refused.ClientPath(), "");
}

// Beside the inverter at 3, the BMS at 4 alone answers its status block and names its address.
TEST_F(SimBusTest, BmsAtAnAddressOfItsOwn) {
    options.addresses[2] = 4;
    SimBus bus(options);
    ASSERT_EQ(bus.Start(), "");
    Client client(bus.ClientPath());
    ASSERT_TRUE(client.Ok());
    EXPECT_EQ(client.Ask(ReadOne(4, 0x6800), 7), OneValue(4, 4));
    EXPECT_EQ(client.Ask(ReadOne(4, 0x0002), 7), OneValue(4, BmsSim::kCells));
    EXPECT_EQ(client.Ask(WithCrc({3, 0x03, 0x00, 0x00, 0x00, 0x32}), 5), WithCrc({3, 0x83, 2}));
}

// A pty slave stands for the serial device; its master is the far end of the line.
TEST(SimBusPort, ServedPortTakesTheSpeedOfTheLinkSet) {
    Client far("/dev/ptmx");
    ASSERT_TRUE(far.Ok());
    char name[128] = {};
    ASSERT_EQ(grantpt(far.Fd()), 0);
    ASSERT_EQ(unlockpt(far.Fd()), 0);
    ASSERT_EQ(ptsname_r(far.Fd(), name, sizeof name), 0);
    SimOptions options;
    options.port = name;
    options.baud = 19200;
    options.addresses[0] = 7;
    options.switches.turnaround_us = 0;
    SimBus bus(options);
    ASSERT_EQ(bus.Start(), "");
    auto line = [&] {
        termios t{};
        tcgetattr(far.Fd(), &t);
        return t;
    };
    const termios before = line();
    EXPECT_EQ(cfgetospeed(&before), B19200);
    EXPECT_EQ(far.Ask(ReadLink(7), 11), LinkReply(7, 1, 0));  // shows how it is served

    // To 8 at 9600 with two stop bits: answered from 7, then only 8 answers, on the new line.
    const Bytes write = WithCrc({7, 0x10, 0x20, 0, 0, 3, 6, 0, 8, 0, 0, 1, 1});
    EXPECT_EQ(far.Ask(write, 8), WithCrc({7, 0x10, 0x20, 0, 0, 3}));
    far.Send(ReadLink(7));
    EXPECT_EQ(far.Ask(ReadLink(8), 11), LinkReply(8, 0, 0x0101));
    EXPECT_EQ(bus.Address(DeviceId::kCharger), 8);
    const termios now = line();
    EXPECT_EQ(cfgetospeed(&now), B9600);
    EXPECT_NE(now.c_cflag & CSTOPB, 0u);  // a pty drops the parity bit, so only stop bits show
}

TEST(SerialLine, ReadsTheLineSettingsTheClientChose) {
    std::string error;
    auto line = SerialLine::OpenPty(error);
    ASSERT_NE(line, nullptr) << error;
    EXPECT_EQ(line->Timing().baud, 115200u);
    Client client(line->ClientPath(), B9600);
    ASSERT_TRUE(client.Ok());
    const LineTiming timing = line->Timing();
    EXPECT_EQ(timing.baud, 9600u);
    EXPECT_EQ(timing.bits_per_char, 10u);  // a pty keeps 8N1 whatever it is told
}

}  // namespace
}  // namespace veltrona::sim
