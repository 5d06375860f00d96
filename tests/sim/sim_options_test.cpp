#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include "sim/pty_line.h"

namespace veltrona::sim {
namespace {

std::string Parse(std::vector<const char*> args, SimOptions& options) {
    args.insert(args.begin(), "veltrona-sim");
    return ParseOptions(static_cast<int>(args.size()), args.data(), options);
}

TEST(SimOptions, CommandLine) {
    SimOptions o;
    ASSERT_EQ(Parse({"--folder", "/tmp/x", "--com", "12"}, o), "");
    EXPECT_EQ(o.folder, "/tmp/x");
    EXPECT_EQ(o.com, 12);
    EXPECT_EQ(o.addresses, (std::array<std::uint8_t, 3>{1, 3, 3}));
    EXPECT_EQ(o.switches.turnaround_us, 2000u);

    SimOptions a;
    ASSERT_EQ(Parse({"--port",
                     "/dev/ttyUSB0",
                     "--baud",
                     "9600",
                     "--charger-address",
                     "0x10",
                     "--bms-address",
                     "247",
                     "--turnaround-us",
                     "500",
                     "--mute",
                     "bms",
                     "--corrupt-crc",
                     "--reply-address",
                     "9",
                     "--exception",
                     "0x0600",
                     "0x063F",
                     "4",
                     "--time-scale",
                     "600",
                     "--link-adopt",
                     "now",
                     "--set",
                     "inverter",
                     "0x0713",
                     "0x8001"},
                    a),
              "");
    EXPECT_EQ(a.port, "/dev/ttyUSB0");
    EXPECT_EQ(a.baud, 9600u);
    EXPECT_EQ(a.addresses, (std::array<std::uint8_t, 3>{16, 3, 247}));
    EXPECT_EQ(a.switches.turnaround_us, 500u);
    EXPECT_TRUE(a.switches.muted[2]);
    EXPECT_TRUE(a.switches.corrupt_crc);
    EXPECT_EQ(a.switches.reply_address, 9);
    ASSERT_EQ(a.switches.exceptions.size(), 1u);
    EXPECT_EQ(a.switches.exceptions[0].last, 0x063F);
    EXPECT_EQ(a.switches.time_scale, 600u);
    EXPECT_TRUE(a.switches.link_adopt_now);
    EXPECT_FALSE(o.switches.link_adopt_now);
    ASSERT_EQ(a.registers.size(), 1u);
    EXPECT_EQ(a.registers[0].device, DeviceId::kInverter);
    EXPECT_EQ(a.registers[0].address, 0x0713);
    EXPECT_EQ(a.registers[0].value, 0x8001);
    EXPECT_TRUE(o.registers.empty());

    for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
             {},
             {"--folder", "/tmp/x"},
             {"--folder", "/tmp/x", "--com", "256"},
             {"--folder", "/tmp/x", "--com", "1", "--port", "/dev/ttyS0"},
             {"--port", "/dev/ttyS0", "--inverter-address", "248"},
             {"--port", "/dev/ttyS0", "--bms-address", "0"},
             {"--port", "/dev/ttyS0", "--exception", "1", "2"},
             {"--port", "/dev/ttyS0", "--mute", "toaster"},
             {"--port", "/dev/ttyS0", "--time-scale", "fast"},
             {"--port", "/dev/ttyS0", "--link-adopt", "later"},
             {"--port", "/dev/ttyS0", "--set", "inverter", "0x0713"},
             {"--com"},
             {"--colour"},
         }) {
        SimOptions b;
        EXPECT_NE(Parse(bad, b), "") << (bad.empty() ? "" : bad[0]);
    }
    SimOptions h;
    EXPECT_EQ(Parse({"--help"}, h), "");
    EXPECT_TRUE(h.help);
}

TEST(SimOptions, LineCommands) {
    SimSwitches s;
    EXPECT_EQ(ApplySwitchCommand("mute inverter", s), "");
    EXPECT_TRUE(s.muted[1]);
    EXPECT_EQ(ApplySwitchCommand("  unmute   inverter\r", s), "");
    EXPECT_FALSE(s.muted[1]);
    EXPECT_EQ(ApplySwitchCommand("delay-us 30000", s), "");
    EXPECT_EQ(s.turnaround_us, 30000u);
    EXPECT_EQ(ApplySwitchCommand("corrupt-crc on", s), "");
    EXPECT_TRUE(s.corrupt_crc);
    EXPECT_EQ(ApplySwitchCommand("reply-address 5", s), "");
    EXPECT_EQ(s.reply_address, 5);
    EXPECT_EQ(ApplySwitchCommand("reply-address off", s), "");
    EXPECT_FALSE(s.reply_address);
    EXPECT_EQ(ApplySwitchCommand("time-scale 0", s), "");
    EXPECT_EQ(s.time_scale, 0u);
    EXPECT_EQ(ApplySwitchCommand("time-scale 100000", s), "");
    EXPECT_EQ(s.time_scale, 100'000u);
    EXPECT_EQ(ApplySwitchCommand("link-adopt now", s), "");
    EXPECT_TRUE(s.link_adopt_now);
    EXPECT_EQ(ApplySwitchCommand("link-adopt after", s), "");
    EXPECT_FALSE(s.link_adopt_now);
    EXPECT_EQ(ApplySwitchCommand("link-adopt now", s), "");

    EXPECT_EQ(ApplySwitchCommand("exception 0x0600 0x063F 4", s), "");
    EXPECT_EQ(ApplySwitchCommand("exception 0x0600 0x063F 6", s), "");  // replaces the rule
    EXPECT_EQ(ApplySwitchCommand("exception 0 9 2", s), "");
    ASSERT_EQ(s.exceptions.size(), 2u);
    EXPECT_EQ(s.exceptions[0].code, 6);
    EXPECT_EQ(ApplySwitchCommand("exception 0x0600 0x063F off", s), "");
    ASSERT_EQ(s.exceptions.size(), 1u);
    EXPECT_EQ(s.exceptions[0].first, 0);

    const SimSwitches before = s;
    for (const char* bad : {"",
                            "mute",
                            "mute toaster",
                            "delay-us -1",
                            "delay-us 12x",
                            "corrupt-crc yes",
                            "reply-address 0",
                            "reply-address 248",
                            "exception 9 1 2",
                            "exception 0 1 0",
                            "exception 0 0x10000 2",
                            "time-scale",
                            "time-scale 100001",
                            "time-scale 1.5",
                            "charger-error clear",
                            "unplug now",
                            "link-adopt",
                            "link-adopt soon",
                            "link-adopt now after",
                            "fly"}) {
        EXPECT_NE(ApplySwitchCommand(bad, s), "") << bad;
    }
    EXPECT_EQ(s.turnaround_us, before.turnaround_us);
    EXPECT_EQ(s.exceptions.size(), before.exceptions.size());
    EXPECT_EQ(s.reply_address, before.reply_address);
    EXPECT_EQ(s.time_scale, before.time_scale);
    EXPECT_TRUE(s.link_adopt_now);
}

TEST(SimOptions, ChargerErrorCommands) {
    ChargerErrorCommand e;
    EXPECT_EQ(ParseChargerError("mute charger", e), std::nullopt);
    EXPECT_EQ(ParseChargerError("", e), std::nullopt);
    EXPECT_EQ(ParseChargerError("charger-error big 59", e), "");
    EXPECT_EQ(e.kind, ChargerErrorKind::kBig);
    EXPECT_EQ(e.code, 59);
    EXPECT_EQ(ParseChargerError(" charger-error  err 0x10\r", e), "");
    EXPECT_EQ(e.kind, ChargerErrorKind::kErr);
    EXPECT_EQ(e.code, 16);
    EXPECT_EQ(ParseChargerError("charger-error small 0", e), "");
    EXPECT_EQ(e.kind, ChargerErrorKind::kSmall);
    EXPECT_EQ(ParseChargerError("charger-error close 65535", e), "");
    EXPECT_EQ(e.kind, ChargerErrorKind::kClose);
    EXPECT_EQ(ParseChargerError("charger-error clear", e), "");
    EXPECT_EQ(e.kind, ChargerErrorKind::kClear);
    for (const char* bad :
         {"charger-error", "charger-error big", "charger-error huge 1", "charger-error small 65536",
          "charger-error clear 1", "charger-error close x", "charger-error err 1 2"}) {
        const auto reason = ParseChargerError(bad, e);
        ASSERT_TRUE(reason.has_value()) << bad;
        EXPECT_NE(*reason, "") << bad;
    }
}

TEST(SimOptions, RegisterCommands) {
    struct Case {
        const char* line;
        std::optional<std::string> result;
        RegisterCommand command;
    };
    const Case cases[] = {
        {"set inverter 0x0713 0x8001", "", {DeviceId::kInverter, 0x0713, 0x8001}},
        {" set  charger 1559 65535\r", "", {DeviceId::kCharger, 1559, 0xFFFF}},
        {"set bms 0xFFFF -32768", "", {DeviceId::kBms, 0xFFFF, 0x8000}},
        {"set inverter 0x070C -0", "", {DeviceId::kInverter, 0x070C, 0}},
        {"unset inverter 0x0713", "", {DeviceId::kInverter, 0x0713, std::nullopt}},
        {"mute inverter", std::nullopt, {}},
        {"set inverter 0x0713", "set needs DEVICE ADDRESS VALUE", {}},
        {"unset inverter", "unset needs DEVICE ADDRESS", {}},
        {"set toaster 1 2", "unknown device", {}},
        {"set inverter 0x10000 1", "bad register address", {}},
        {"set inverter 1 0x10000", "bad register value", {}},
        {"set inverter 1 -32769", "bad register value", {}},
        {"set inverter 1 --1", "bad register value", {}},
    };
    for (const Case& c : cases) {
        RegisterCommand got{DeviceId::kCharger, 7, 7};
        EXPECT_EQ(ParseRegisterCommand(c.line, got), c.result) << c.line;
        if (c.result && c.result->empty()) {
            EXPECT_EQ(got.device, c.command.device) << c.line;
            EXPECT_EQ(got.address, c.command.address) << c.line;
            EXPECT_EQ(got.value, c.command.value) << c.line;
        }
    }
}

TEST(LineTiming, WireTimeAndSilence) {
    // 8N1 at 9600: 10 bits a character; a 21-byte reply takes 21.875 ms.
    EXPECT_EQ(WireTimeUs(21, {9600, 10}), 21875);
    // 8E2 at 19200: 12 bits; one character is 625 us.
    EXPECT_EQ(WireTimeUs(1, {19200, 12}), 625);
    // Rounded up: 8 bytes at 115200 are 694.4 us.
    EXPECT_EQ(WireTimeUs(8, {115200, 10}), 695);
    EXPECT_EQ(WireTimeUs(0, {115200, 10}), 0);

    EXPECT_EQ(FrameSilenceUs({9600, 10}), 3646);    // 3.5 characters
    EXPECT_EQ(FrameSilenceUs({115200, 10}), 1750);  // the floor of fast lines
}

}  // namespace
}  // namespace veltrona::sim
