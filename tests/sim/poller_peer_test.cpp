// veltrona-poll against an RTU server written by others: libmodbus on one end of a socat
// pseudo-terminal pair, the poller program on the other.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <modbus.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devices/charger/charger_blocks.h"
#include "sim/sim_bus.h"

namespace veltrona {
namespace {

namespace fs = std::filesystem;

std::uint16_t ServerValue(int address) {
    return static_cast<std::uint16_t>(address * 7 + 3);
}

// Whether done() holds by the deadline, asked every 10 ms.
bool Eventually(const std::function<bool()>& done, std::chrono::seconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class SocatPair {
  public:
    explicit SocatPair(const fs::path& folder) : a_(folder / "ttyA"), b_(folder / "ttyB") {
        pid_ = fork();
        if (pid_ == 0) {
            const std::string first = "pty,raw,echo=0,link=" + a_.string();
            const std::string second = "pty,raw,echo=0,link=" + b_.string();
            execlp("socat", "socat", first.c_str(), second.c_str(), nullptr);
            _exit(127);
        }
        Eventually([&] { return ready(); }, std::chrono::seconds(10));
    }
    ~SocatPair() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool ready() const { return fs::exists(a_) && fs::exists(b_); }
    const fs::path& a() const { return a_; }
    const fs::path& b() const { return b_; }

  private:
    fs::path a_;
    fs::path b_;
    pid_t pid_ = -1;
};

// A libmodbus RTU slave 1 whose holding registers 0 to 0x7FFF hold ServerValue(address).
class LibmodbusServer {
  public:
    explicit LibmodbusServer(const std::string& path) {
        ctx_ = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 1);
        if (ctx_ == nullptr) return;
        modbus_set_slave(ctx_, 1);
        modbus_set_response_timeout(ctx_, 0, 20000);
        modbus_set_byte_timeout(ctx_, 0, 5000);
        modbus_set_indication_timeout(ctx_, 0, 200000);
        modbus_set_error_recovery(ctx_, MODBUS_ERROR_RECOVERY_PROTOCOL);
        map_ = modbus_mapping_new(0, 0, 0x8000, 0);
        for (int i = 0; i < 0x8000; ++i)
            map_->tab_registers[i] = ServerValue(i);
        if (modbus_connect(ctx_) != 0) return;
        thread_ = std::thread([this] { Serve(); });
    }
    ~LibmodbusServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (map_ != nullptr) modbus_mapping_free(map_);
        if (ctx_ != nullptr) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
    }
    bool running() const { return thread_.joinable(); }

  private:
    void Serve() {
        std::uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop_) {
            const int length = modbus_receive(ctx_, request);
            if (length > 0) modbus_reply(ctx_, request, length, map_);
        }
    }

    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

std::string RunPoller(const std::string& args, int& status) {
    const std::string command = std::string(VELTRONA_POLL_PROGRAM) + " " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    std::size_t n = 0;
    while (pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    status = pipe != nullptr ? pclose(pipe) : -1;
    return out;
}

// Either rule for the end of a frame reads the same values.
TEST(PollerPeer, ReadsEveryChargerRegisterFromALibmodbusServer) {
    for (const char* frame_end : {"silence", "length"}) {
        SCOPED_TRACE(frame_end);
        const fs::path folder =
            fs::temp_directory_path() / ("veltrona-peer-" + std::to_string(getpid()));
        fs::create_directories(folder);
        {
            SocatPair pair(folder);
            ASSERT_TRUE(pair.ready()) << "socat did not create its pseudo-terminals";
            LibmodbusServer server(pair.b().string());
            ASSERT_TRUE(server.running());

            int status = 0;
            const std::string csv = RunPoller(
                "--port " + pair.a().string() +
                    " --device TARVOLEN=1 --rounds 1 --time-rest 1 --frame-end " + frame_end,
                status);
            ASSERT_EQ(status, 0) << csv;

            std::istringstream lines(csv);
            std::string line;
            std::getline(lines, line);
            EXPECT_EQ(line, "time,device,address,raw,value,name");
            std::map<int, long> raw;
            while (std::getline(lines, line)) {
                std::istringstream fields(line);
                std::string time, device, address, value;
                std::getline(fields, time, ',');
                std::getline(fields, device, ',');
                std::getline(fields, address, ',');
                std::getline(fields, value, ',');
                EXPECT_EQ(device, "TARVOLEN");
                EXPECT_EQ(time.size(), std::string("2026-12-09T08:40:12.345+00:00").size()) << time;
                raw[std::stoi(address, nullptr, 16)] = std::stol(value);
            }
            std::size_t expected = 0;
            for (const BlockLayout& block : kChargerBlocks) {
                for (int i = 0; i < block.count; ++i) {
                    const int address = block.base + i;
                    ASSERT_TRUE(raw.count(address)) << std::hex << address;
                    EXPECT_EQ(raw[address], ServerValue(address)) << std::hex << address;
                    ++expected;
                }
            }
            EXPECT_EQ(raw.size(), expected);
        }
        fs::remove_all(folder);
    }
}

// The rows of a mapped device carry its map: a pair's value on its upper register (its lower
// half without one), the name without the caption's address prefix. The BMS's round takes in
// its journal.
TEST(PollerPeer, NamesAndFormatsTheMappedDevices) {
    using Rows = std::map<std::string, std::vector<std::string>>;  // by address: value, name
    struct Case {
        std::string key;
        std::string options;
        std::size_t registers;
        Rows expected;
    };
    const Case cases[] = {
        {"TL_7150",
         "",
         257,
         {{"0x0008", {"", ""}},
          {"0x0009", {"4325435", "RTC"}},
          {"0x0701", {"125.54", "Входной ток"}},
          {"0x071A", {"12729", "Charge_State_Alert"}},
          {"0x2000", {"57347", "Сетевой адрес"}}}},
        {"BMS",
         " --frame-end length",
         50 + 3 * 200 + 3 + 45 + 50 + 3 + 3072,
         {{"0x0000", {"", "DesignCapacityLsb"}},
          {"0x000B", {"5242.953", "PackCurrent"}},
          {"0x0016", {"15.7", "TempAmbient"}},
          {"0x00F9", {"1.746", "CellVoltage_199"}},
          {"0x6805", {"3626424351", "SafetyStatusSave"}},
          {"0x6C05", {"-198773.729", "CfCurrent"}},
          {"0x6C28", {"-2789", "DesignCellNumber"}},
          {"0x7FFC", {"", "TimeLsb_767"}},
          {"0x7FFD", {"2146336743", "Time_767"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const fs::path folder =
            fs::temp_directory_path() / ("veltrona-peer-" + c.key + std::to_string(getpid()));
        fs::create_directories(folder);
        {
            SocatPair pair(folder);
            ASSERT_TRUE(pair.ready()) << "socat did not create its pseudo-terminals";
            LibmodbusServer server(pair.b().string());
            ASSERT_TRUE(server.running());
            int status = 0;
            const std::string csv = RunPoller("--port " + pair.a().string() + " --device " + c.key +
                                                  "=1 --rounds 1 --time-rest 1" + c.options,
                                              status);
            ASSERT_EQ(status, 0) << csv;

            Rows rows;
            std::istringstream lines(csv);
            std::string line;
            std::getline(lines, line);
            while (std::getline(lines, line)) {
                std::vector<std::string> fields;
                std::istringstream split(line);
                for (std::string field; std::getline(split, field, ',');)
                    fields.push_back(field);
                fields.resize(6);
                EXPECT_EQ(fields[1], c.key);
                rows[fields[2]] = {fields[4], fields[5]};
            }
            EXPECT_EQ(rows.size(), c.registers);
            for (const auto& [address, row] : c.expected)
                EXPECT_EQ(rows[address], row) << address;
        }
        fs::remove_all(folder);
    }
}

TEST(PollerPeer, RefusesABadOptionAndAMissingPort) {
    int status = 0;
    RunPoller("--port /dev/null --parity sometimes", status);
    EXPECT_NE(WEXITSTATUS(status), 0);
    RunPoller("--port /nonexistent/tty --rounds 1", status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    RunPoller("--port /dev/null --baud 12345", status);  // would run at 9600
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

// The device end of a pseudo-terminal the test holds.
class Pty {
  public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            slave_ = ptsname(master_);
    }
    ~Pty() { Unplug(); }
    const std::string& Slave() const { return slave_; }
    // True once a request has reached the device end.
    bool RequestArrived() {
        pollfd request{master_, POLLIN, 0};
        return master_ >= 0 && poll(&request, 1, 10000) == 1;
    }
    void Unplug() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    std::string slave_;
};

// The poller program with these arguments, its standard error kept.
class Poller {
  public:
    explicit Poller(std::vector<std::string> args) {
        static int started = 0;
        log_ = fs::temp_directory_path() / ("veltrona-poll-" + std::to_string(getpid()) + "-" +
                                            std::to_string(++started) + ".log");
        args.insert(args.begin(), VELTRONA_POLL_PROGRAM);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            freopen("/dev/null", "w", stdout);
            freopen(log_.c_str(), "w", stderr);
            // A line end of the test's kept open here would keep the poller's port from
            // hanging up when the test closes it.
            closefrom(3);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Poller() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        fs::remove(log_);
    }
    void Signal(int signal) { kill(pid_, signal); }
    // The exit status, or nullopt when it has not ended within the deadline.
    std::optional<int> Exit(std::chrono::seconds deadline) {
        int status = 0;
        if (!Eventually([&] { return waitpid(pid_, &status, WNOHANG) != 0; }, deadline))
            return std::nullopt;
        ended_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Log() const {
        std::ifstream in(log_);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

  private:
    pid_t pid_ = -1;
    bool ended_ = false;
    fs::path log_;
};

// The poller on `pty` polling the charger, `args` after those.
std::vector<std::string> OnPty(const Pty& pty, std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", pty.Slave(), "--device", "TARVOLEN=1"});
    return args;
}

// A device that takes requests and never answers: the poller always has one out.
TEST(PollerPeer, SignalWhileARequestIsOutEndsAtOnceWithTheSummary) {
    for (const int signal : {SIGINT, SIGTERM}) {
        Pty pty;
        Poller poller(OnPty(pty, {"--time-wait", "60000"}));
        ASSERT_TRUE(pty.RequestArrived());
        poller.Signal(signal);
        const std::optional<int> code = poller.Exit(std::chrono::seconds(10));
        ASSERT_TRUE(code) << "the poller waited for the reply that never comes";
        EXPECT_EQ(*code, 128 + signal);
        EXPECT_NE(poller.Log().find("TARVOLEN: requests 1, replies 0"), std::string::npos)
            << poller.Log();
    }
}

TEST(PollerPeer, RoundsCountSilentTurnsAndALostPortFailsTheRun) {
    {
        Pty pty;
        Poller silent(OnPty(pty, {"--time-wait", "20", "--rounds", "3"}));
        const std::optional<int> code = silent.Exit(std::chrono::seconds(20));
        ASSERT_TRUE(code) << "rounds of a silent device were never counted";
        EXPECT_EQ(*code, 0);
        EXPECT_NE(silent.Log().find("timed out 4"), std::string::npos) << silent.Log();
    }
    Pty pty;
    Poller lost(OnPty(pty, {"--time-wait", "20", "--seconds", "2"}));
    ASSERT_TRUE(pty.RequestArrived());
    pty.Unplug();
    const std::optional<int> code = lost.Exit(std::chrono::seconds(20));
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 1);
    EXPECT_NE(lost.Log().find("Связь с портом потеряна"), std::string::npos) << lost.Log();
}

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// The stand-ins' adapter pulled for three seconds within a ten-second run: the poller opens it
// again by itself, polls on and ends well.
TEST(PollerPeer, PulledAdapterIsOpenedAgainAndTheRunEndsWell) {
    const fs::path folder =
        fs::temp_directory_path() / ("veltrona-poll-lost-" + std::to_string(getpid()));
    fs::create_directories(folder);
    {
        sim::SimOptions options;
        options.folder = folder.string();
        options.com = 9;
        sim::SimBus bus(options);
        ASSERT_EQ(bus.Start(), "");
        Poller poller({"--folder", folder.string(), "--port", "COM9", "--device", "TARVOLEN=1",
                       "--time-wait", "200", "--seconds", "10"});
        ASSERT_TRUE(Eventually([&] { return bus.RequestCount() > 0; }, std::chrono::seconds(10)));
        ASSERT_EQ(bus.Command("unplug"), "ok");
        // The stand-ins cannot have answered more than this before the gap.
        const std::size_t before = bus.RequestCount();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        ASSERT_EQ(bus.Command("plug"), "ok");

        const std::optional<int> code = poller.Exit(std::chrono::seconds(30));
        ASSERT_TRUE(code) << "the run did not end by itself";
        EXPECT_EQ(*code, 0) << poller.Log();
        const std::string log = poller.Log();
        EXPECT_EQ(Occurrences(log, "Связь с портом потеряна"), 1u) << log;
        EXPECT_EQ(Occurrences(log, "Порт открыт"), 2u) << log;
        const std::size_t summary = log.find("TARVOLEN: requests");
        ASSERT_NE(summary, std::string::npos) << log;
        unsigned long replies = 0, timed_out = 0;
        ASSERT_EQ(
            std::sscanf(log.c_str() + summary, "TARVOLEN: requests %*u, replies %lu, timed out %lu",
                        &replies, &timed_out),
            2)
            << log;
        EXPECT_GT(timed_out, 0u);
        EXPECT_GT(replies, before);
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace veltrona
