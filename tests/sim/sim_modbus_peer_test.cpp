// The stand-ins against Modbus peers written by others: libmodbus in-process, mbpoll against
// the veltrona-sim program.
#include <modbus.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "sim/sim_bus.h"

namespace veltrona::sim {
namespace {

class Peer {
  public:
    Peer(const std::string& path, int slave) {
        ctx_ = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 1);
        if (ctx_ == nullptr) return;
        modbus_set_slave(ctx_, slave);
        modbus_set_response_timeout(ctx_, 2, 0);
        if (modbus_connect(ctx_) != 0) {
            modbus_free(ctx_);
            ctx_ = nullptr;
        }
    }
    ~Peer() {
        if (ctx_ != nullptr) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
    }
    modbus_t* operator*() const { return ctx_; }

  private:
    modbus_t* ctx_ = nullptr;
};

TEST(ModbusPeers, LibmodbusReadsAndWrites) {
    SimOptions options;
    SimBus bus(options);
    ASSERT_EQ(bus.Start(), "");
    Peer charger(bus.ClientPath(), 1);
    ASSERT_NE(*charger, nullptr);

    std::uint16_t live[64] = {};
    ASSERT_EQ(modbus_read_registers(*charger, 0x0600, 64, live), 64);
    EXPECT_EQ(live[0x02], 1);  // firmware 1.2.0.7
    EXPECT_EQ(live[0x05], 7);
    EXPECT_GT(live[0x13], 22000);  // mains voltage
    EXPECT_LT(live[0x13], 24000);

    const std::uint16_t settings[3] = {7, 0x8001, 65535};
    ASSERT_EQ(modbus_write_registers(*charger, 0x28F0, 3, settings), 3);
    std::uint16_t back[3] = {};
    ASSERT_EQ(modbus_read_registers(*charger, 0x28F0, 3, back), 3);
    EXPECT_EQ(std::vector<std::uint16_t>(back, back + 3),
              std::vector<std::uint16_t>(settings, settings + 3));

    std::uint16_t none[2];
    EXPECT_EQ(modbus_read_registers(*charger, 0x0700, 2, none), -1);
    EXPECT_EQ(errno, EMBXILADD);

    Peer shared(bus.ClientPath(), 3);
    ASSERT_NE(*shared, nullptr);
    std::uint16_t ident[13] = {};
    ASSERT_EQ(modbus_read_registers(*shared, 0, 13, ident), 13);
    EXPECT_EQ(ident[0], 3);
    std::uint16_t status[50] = {};
    ASSERT_EQ(modbus_read_registers(*shared, 0, 50, status), 50);
    EXPECT_EQ(status[2], BmsSim::kCells);
}

// Runs the program, reads its first line, and ends it with SIGTERM.
class SimProgram {
  public:
    explicit SimProgram(const std::string& folder) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            execl(VELTRONA_SIM_PROGRAM, VELTRONA_SIM_PROGRAM, "--folder", folder.c_str(), "--com",
                  "9", "--turnaround-us", "0", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        stdout_ = fdopen(out[0], "r");
        char line[256] = {};
        if (stdout_ != nullptr && std::fgets(line, sizeof line, stdout_) != nullptr) {
            path_ = line;
            if (!path_.empty() && path_.back() == '\n') path_.pop_back();
        }
    }
    ~SimProgram() {
        if (pid_ > 0 && !stopped_) Stop();
        if (stdout_ != nullptr) std::fclose(stdout_);
    }
    int Stop() {
        stopped_ = true;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        return status;
    }
    const std::string& Path() const { return path_; }

  private:
    pid_t pid_ = -1;
    FILE* stdout_ = nullptr;
    std::string path_;
    bool stopped_ = false;
};

std::string Output(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    std::array<char, 256> buffer;
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr)
        output += buffer.data();
    pclose(pipe);
    return output;
}

TEST(ModbusPeers, MbpollReadsTheProgram) {
    char pattern[] = "/tmp/veltrona-sim-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    {
        SimProgram program(folder);
        ASSERT_FALSE(program.Path().empty());
        const std::string link = folder + "/ports/COM9";
        EXPECT_EQ(std::filesystem::read_symlink(link), program.Path());

        const std::string mbpoll = "mbpoll -q -m rtu -b 115200 -P none -o 2 -1 ";
        const std::string live = Output(mbpoll + "-a 1 -t 4:hex -r 1537 -c 8 " + link);
        EXPECT_NE(live.find("[1537]: \t0x00E0"), std::string::npos) << live;
        EXPECT_NE(live.find("[1542]: \t0x0007"), std::string::npos) << live;
        // 50 registers from 0 at address 3: the BMS status block, not the inverter's.
        const std::string cells = Output(mbpoll + "-a 3 -t 4 -r 1 -c 50 " + link);
        EXPECT_NE(cells.find("[3]: \t16"), std::string::npos) << cells;
        const std::string outside = Output(mbpoll + "-a 1 -t 4 -r 1601 -c 2 " + link + " 2>&1");
        EXPECT_NE(outside.find("Illegal data address"), std::string::npos) << outside;

        const int status = program.Stop();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_FALSE(std::filesystem::is_symlink(link));
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace veltrona::sim
