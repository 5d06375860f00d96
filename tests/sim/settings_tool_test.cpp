// veltrona-settings as a child process against the stand-ins on a pseudo-terminal; what the
// charger holds is read over the line by the test itself.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "devices/charger/charge_profile.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_settings_workflow.h"
#include "link/frames.h"
#include "sim/sim_bus.h"

namespace veltrona {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int code = -1;
    std::string log;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string SettingsFile(const ChargerSettingsValues& values) {
    return ComposeDeviceSettings(kChargerSettingsTitle, ChargerSettingsKeys(), values).value();
}

// The settings block as the stand-in holds it, by function 3 requests of the test's own. A
// reply to the tool's last request may still come first: bytes before our reply are passed over.
std::optional<ChargerSettingsValues> StandInSettings(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    ChargerSettingsValues values{};
    constexpr std::uint8_t kCount = 64;
    constexpr std::size_t kReply = 5 + 2 * kCount;
    bool ok = true;
    for (std::size_t first = 0; ok && first < values.size(); first += kCount) {
        std::uint8_t request[8] = {1, 3, 0x28, static_cast<std::uint8_t>(first), 0, kCount};
        const std::uint16_t crc = Crc16(request, 6);
        request[6] = static_cast<std::uint8_t>(crc);
        request[7] = static_cast<std::uint8_t>(crc >> 8);
        ok = write(fd, request, sizeof request) == sizeof request;
        std::vector<std::uint8_t> bytes;
        std::optional<std::size_t> at;
        while (ok && !at && bytes.size() < 4096) {
            std::uint8_t buffer[512];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            ok = n > 0;
            if (ok) bytes.insert(bytes.end(), buffer, buffer + n);
            for (std::size_t p = 0; !at && p + kReply <= bytes.size(); ++p) {
                if (bytes[p] == 1 && bytes[p + 1] == 3 && bytes[p + 2] == 2 * kCount &&
                    CheckCrc(bytes.data() + p, kReply)) {
                    at = p;
                }
            }
        }
        ok = ok && at;
        for (std::size_t i = 0; ok && i < kCount; ++i) {
            const std::uint8_t* word = bytes.data() + *at + 3 + 2 * i;
            values[first + i] = static_cast<std::uint16_t>(word[0] << 8 | word[1]);
        }
    }
    close(fd);
    return ok ? std::optional(values) : std::nullopt;
}

ChargerSettingsValues Presets(std::uint16_t voltage_code, std::uint16_t type_code) {
    ChargerSettingsValues values{};
    EXPECT_TRUE(ApplyPresets(values, voltage_code, type_code));
    return values;
}

class SettingsTool : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/veltrona-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        sim::SimOptions options;
        options.switches.turnaround_us = 0;
        bus_ = std::make_unique<sim::SimBus>(options);
        ASSERT_EQ(bus_->Start(), "");
        const std::optional<ChargerSettingsValues> held = Held();
        ASSERT_TRUE(held);
        factory_ = *held;
    }
    void TearDown() override {
        bus_.reset();
        fs::remove_all(folder_);
    }

    std::optional<ChargerSettingsValues> Held() { return StandInSettings(bus_->ClientPath()); }
    fs::path File(const std::string& name) const { return folder_ / name; }

    // The tool on the stand-ins' line with `args` after the line options.
    ToolRun Run(std::vector<std::string> args, bool line_options = true) {
        if (line_options) {
            args.insert(args.begin(),
                        {"--port", bus_->ClientPath(), "--device", "TARVOLEN=1", "--time-rest", "1",
                         "--time-wait", "100", "--frame-end", "length"});
        }
        // timeout(1) guards against a hung child only; a run takes about a second.
        args.insert(args.begin(), {"timeout", "60", VELTRONA_SETTINGS_PROGRAM});
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const fs::path log = folder_ / "stderr.log";
        const pid_t pid = fork();
        if (pid == 0) {
            freopen("/dev/null", "w", stdout);
            freopen(log.c_str(), "w", stderr);
            closefrom(3);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(log)};
    }

    fs::path folder_;
    std::unique_ptr<sim::SimBus> bus_;
    ChargerSettingsValues factory_{};
};

TEST_F(SettingsTool, ReadReplacesTheFileWithTheChargersBlockOnlyWhenItAnswers) {
    for (const bool muted : {false, true}) {
        SCOPED_TRACE(muted);
        ASSERT_EQ(bus_->Command(muted ? "mute charger" : "unmute charger"), "ok");
        WriteAll(File("backup.ini"), "kept");
        const ToolRun run = Run({"read", File("backup.ini").string()});
        EXPECT_EQ(run.code, muted ? 1 : 0) << run.log;
        EXPECT_EQ(ReadAll(File("backup.ini")), muted ? "kept" : SettingsFile(factory_));
    }
}

// Presets unlike the stand-in's own profile, then the stand-in's own file back: a restore.
TEST_F(SettingsTool, WriteSendsTheFileAndABackupRestoresTheCharger) {
    ASSERT_EQ(Run({"read", File("factory.ini").string()}).code, 0);
    WriteAll(File("presets.ini"), SettingsFile(Presets(120, 0)));
    for (const auto& [file, expected] :
         {std::pair{"presets.ini", Presets(120, 0)}, std::pair{"factory.ini", factory_}}) {
        SCOPED_TRACE(file);
        const ToolRun run = Run({"write", File(file).string()});
        EXPECT_EQ(run.code, 0) << run.log;
        EXPECT_EQ(Held(), expected);
    }
}

TEST_F(SettingsTool, RefusedFilesWriteNothing) {
    ChargerSettingsValues type_99 = Presets(120, 0);
    type_99[kSetTypeBatt] = 99;
    ChargerSettingsValues voltage_110 = Presets(120, 0);
    voltage_110[kSetTypeBattVoltage] = 110;
    std::string bad_value = SettingsFile(Presets(120, 0));
    bad_value.replace(bad_value.find("=    0"), 6, "= 12x4");
    const std::string inverter_title =
        ComposeDeviceSettings("НАСТРОЙКИ ПРИБОРА ТЛ-7150", ChargerSettingsKeys(), Presets(120, 0))
            .value();
    const struct {
        const char* name;
        std::string bytes;
        const char* reported;  // the register named, or null when no request may go out
    } kCases[] = {
        {"type code 99", SettingsFile(type_99), "TypeBatt"},
        {"voltage code 110", SettingsFile(voltage_110), "TypeBattVoltage"},
        {"wrong title", inverter_title, nullptr},
        {"bad value", bad_value, nullptr},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        WriteAll(File("refused.ini"), c.bytes);
        const std::size_t requests = bus_->RequestCount();
        const ToolRun run = Run({"write", File("refused.ini").string()});
        EXPECT_EQ(run.code, 1) << run.log;
        if (c.reported != nullptr) {
            EXPECT_NE(run.log.find(kSettingsInvalid), std::string::npos) << run.log;
            EXPECT_NE(run.log.find(std::string("  ") + c.reported + ":"), std::string::npos);
        } else {
            EXPECT_EQ(bus_->RequestCount(), requests);
        }
        EXPECT_EQ(Held(), factory_);
    }
}

// The other requests still go out; the refused one leaves its registers as they were.
TEST_F(SettingsTool, ARefusedWriteFailsTheRun) {
    WriteAll(File("presets.ini"), SettingsFile(Presets(120, 0)));
    ASSERT_EQ(bus_->Command("exception 0x2810 0x2810 2"), "ok");
    const ToolRun run = Run({"write", File("presets.ini").string()});
    EXPECT_EQ(run.code, 1) << run.log;
    ASSERT_EQ(bus_->Command("exception 0x2810 0x2810 off"), "ok");
    ChargerSettingsValues expected = Presets(120, 0);
    std::copy_n(factory_.begin() + 0x10, 8, expected.begin() + 0x10);
    EXPECT_EQ(Held(), expected);
}

TEST_F(SettingsTool, UsageErrorsExitTwoAndSendNothing) {
    const std::string port = bus_->ClientPath();
    const std::string file = File("any.ini").string();
    const std::vector<std::vector<std::string>> kCases = {
        {"--port", port, "read", file},
        {"--device", "TARVOLEN=1", "read", file},
        {"--port", port, "--device", "TARVOLEN=1"},
        {"--port", port, "--device", "BMS=3", "read", file},
        {"--port", port, "--device", "TARVOLEN=1", "read", file, "write", file},
        {"--port", port, "--device", "TARVOLEN=1", "--baud", "12345", "read", file},
        {"--port", port, "--device", "TARVOLEN=1", "--verbose", "read", file},
        {"--port", port, "--device", "TARVOLEN=1", "read"},
    };
    const std::size_t requests = bus_->RequestCount();
    for (const auto& args : kCases) {
        const ToolRun run = Run(args, false);
        EXPECT_EQ(run.code, 2) << testing::PrintToString(args);
        EXPECT_NE(run.log.find("usage: veltrona-settings"), std::string::npos);
    }
    EXPECT_EQ(bus_->RequestCount(), requests);
    EXPECT_FALSE(fs::exists(file));
}

}  // namespace
}  // namespace veltrona
