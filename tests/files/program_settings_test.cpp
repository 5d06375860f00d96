#include "files/program_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/atomic_save.h"

namespace veltrona {
namespace {

struct Shown {
    std::string text;
    std::string caption;
};

struct Recorder {
    std::vector<Shown> shown;
    MessageSink Sink() {
        return [this](std::string_view text, std::string_view caption, MessageButtons) {
            shown.push_back({std::string(text), std::string(caption)});
            return MessageAnswer::kOk;
        };
    }
};

std::string Golden(const char* name) {
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "golden" / name,
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const std::string kHead =
    "RS485toUSB\r\nGeneralSettings\r\n\r\nSupportDevices\r\nCount=3\r\n"
    "TARVOLEN=YES\r\nTL_7150=YES\r\nBMS=YES\r\n";

const std::string kPort =
    "SettingsPort\r\nName=4\r\nBaudrate=9600\r\nDataBits=7\r\nParity=ODD\r\n"
    "StopBits=2b\r\nTimeRest=500\r\nTimeWait=90000\r\n";

ProgramSettings Read(const std::string& text, Recorder* recorder = nullptr) {
    Recorder local;
    Recorder& r = recorder ? *recorder : local;
    ProgramSettings settings;
    MemorySource source(text);
    ReadProgramSettings(source, settings, r.Sink());
    return settings;
}

bool SamePort(const PortSettings& a, const PortSettings& b) {
    return a.Port == b.Port && a.Baudrate == b.Baudrate && a.DataBits == b.DataBits &&
           a.Parity == b.Parity && a.StopBits == b.StopBits && a.TimeRest == b.TimeRest &&
           a.TimeWait == b.TimeWait;
}

bool SameDevice(const DeviceLinkSettings& a, const DeviceLinkSettings& b) {
    return a.enabled == b.enabled && a.address == b.address && a.baudrate == b.baudrate &&
           a.data_bits == b.data_bits && a.parity == b.parity && a.stop_bits == b.stop_bits;
}

TEST(ProgramSettingsFile, DefaultsComposeTheGoldenFile) {
    const std::string golden = Golden("SettingsGeneral_default.ini");
    ASSERT_EQ(golden.size(), 1662u);
    EXPECT_EQ(ComposeProgramSettings(ProgramSettings{}), golden);
}

TEST(ProgramSettingsFile, SaveAndLoadRoundTrip) {
    std::string pattern = (std::filesystem::temp_directory_path() / "psXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path folder = pattern;
    Recorder recorder;
    ProgramSettings missing;
    missing.port.Port = 12;
    LoadProgramSettings(folder, missing, recorder.Sink());
    EXPECT_EQ(missing.port.Port, 12);
    ASSERT_EQ(recorder.shown.size(), 2u);
    EXPECT_EQ(recorder.shown[0].text, "Ошибка открытия файла настроек");
    EXPECT_EQ(recorder.shown[0].caption, "");
    EXPECT_EQ(recorder.shown[1].text, "Ошибка открытия файла доступных устройств");
    EXPECT_EQ(recorder.shown[1].caption, "Сообщение");

    ProgramSettings written;
    written.port = PortSettings{7, 256000, 5, 2, 1, 1, 4000000};
    written.devices[0] = {false, 247, 9600, 7, 2, 2};
    written.devices[1] = {true, 17, 57600, 8, 1, 1};
    ASSERT_TRUE(SaveProgramSettings(folder, written, recorder.Sink()));
    ProgramSettings loaded;
    LoadProgramSettings(folder, loaded, recorder.Sink());
    EXPECT_EQ(recorder.shown.size(), 2u);
    EXPECT_TRUE(SamePort(loaded.port, written.port));
    for (std::size_t i = 0; i < kDeviceKindCount; ++i) {
        EXPECT_TRUE(SameDevice(loaded.devices[i], written.devices[i])) << i;
    }
    std::filesystem::remove_all(folder);
}

TEST(ProgramSettingsFile, HeaderMismatchShowsMessage) {
    Recorder r;
    Read("RS485toUSBx\r\nGeneralSettings\r\n", &r);
    ASSERT_EQ(r.shown.size(), 1u);
    EXPECT_EQ(r.shown[0].text, "Файл не соответствует программе");
    r.shown.clear();
    Read("  rs485TOusb \r\nGeneral\r\n", &r);
    ASSERT_EQ(r.shown.size(), 1u);
    EXPECT_EQ(r.shown[0].text, "Файл не содержит настроек");
}

TEST(ProgramSettingsFile, DeviceList) {
    ProgramSettings s = Read(
        "RS485toUSB\r\nGeneralSettings\r\nSupportDevices\r\nCount=7\r\n"
        "bms=1\r\nunknown=NO\r\nTARVOLEN=NO\r\nTL_7150=NO\r\n" +
        kPort);
    EXPECT_FALSE(s.devices[0].enabled);
    EXPECT_TRUE(s.devices[1].enabled);  // a fourth line is not read as a device line
    EXPECT_FALSE(s.devices[2].enabled);
    EXPECT_EQ(s.port.Port, 4);

    s = Read("RS485toUSB\r\nGeneralSettings\r\nSupportDevices\r\nCount=1\r\nbms=yes\r\n" + kPort);
    EXPECT_TRUE(s.devices[2].enabled);
    EXPECT_EQ(s.port.Port, 4);

    for (const char* count : {"0", "-1", "abc", "99999999999999999999"}) {
        s = Read("RS485toUSB\r\nGeneralSettings\r\nSupportDevices\r\nCount=" + std::string(count) +
                 "\r\nBMS=NO\r\n" + kPort);
        EXPECT_TRUE(s.devices[2].enabled) << count;
        EXPECT_EQ(s.port.Port, 1) << count;
    }
}

TEST(ProgramSettingsFile, PortValuesAreLimited) {
    ProgramSettings s = Read(kHead + kPort);
    EXPECT_TRUE(SamePort(s.port, PortSettings{4, 9600, 7, 1, 2, 500, 90000}));

    s = Read(kHead +
             "SettingsPort\r\nName=300\r\nBaudrate=14400\r\nDataBits=9\r\nParity=MARK\r\n"
             "StopBits=1.5\r\nTimeRest=0\r\nTimeWait=-7\r\n");
    EXPECT_TRUE(SamePort(s.port, PortSettings{255, 115200, 8, 0, 0, 20000, 1600000}));

    s = Read(kHead +
             "SettingsPort\r\nName=-4\r\nBaudrate=256000\r\nDataBits=x\r\nParity=even\r\n"
             "StopBits=1B5\r\nTimeRest=4294987296\r\nTimeWait=99999999999999999999\r\n");
    EXPECT_TRUE(SamePort(s.port, PortSettings{1, 256000, 8, 2, 1, 20000, 1600000}));

    // "Name" of 0 stops before "Baudrate"; a wrong key stops at that line.
    s = Read(kHead + "SettingsPort\r\nName=0\r\nBaudrate=9600\r\n");
    EXPECT_TRUE(SamePort(s.port, PortSettings{}));
    s = Read(kHead + "SettingsPort\r\nName=9\r\nBaudrate=9600\r\nParity=ODD\r\n");
    EXPECT_TRUE(SamePort(s.port, PortSettings{9, 9600, 8, 0, 0, 20000, 1600000}));
}

TEST(ProgramSettingsFile, DeviceSections) {
    const std::string bms =
        "BMS_Settings\r\nAddress=0\r\nBaudrate=14400\r\nDataBits=9\r\nParity=EVEN\r\n"
        "StopBits=2b\r\n";
    const std::string charger =
        "TARVOLEN_Settings\r\nAddress=200\r\nBaudrate=-9600\r\nDataBits=70000\r\nParity=ODD\r\n"
        "StopBits=1b5\r\n";
    const std::string inverter = "tl_7150_settings\r\nAddress =//3\r\nBaudrate=9600\r\n";

    // The BMS section ends the reading, whatever follows.
    ProgramSettings s = Read(kHead + kPort + bms + charger + inverter);
    EXPECT_TRUE(SameDevice(s.devices[2], {true, 1, 14400, 9, 2, 2}));
    EXPECT_TRUE(SameDevice(s.devices[0], DeviceLinkSettings{.address = 1}));
    EXPECT_TRUE(SameDevice(s.devices[1], DeviceLinkSettings{.address = 3}));

    s = Read(kHead + kPort + charger + inverter);
    EXPECT_TRUE(SameDevice(s.devices[0], {true, 200, 115200, 8, 1, 1}));
    EXPECT_TRUE(SameDevice(s.devices[1], {true, 1, 9600, 8, 0, 0}));

    for (const char* address : {"248", "-1", "65537"}) {
        s = Read(kHead + kPort + "TL_7150_Settings\r\nAddress=" + address + "\r\n");
        EXPECT_EQ(s.devices[1].address, 1) << address;
    }

    // A file that ends after the port section keeps the port values it read.
    s = Read(kHead + kPort);
    EXPECT_EQ(s.port.TimeWait, 90000);
    EXPECT_EQ(s.devices[1].address, 3);
}

}  // namespace
}  // namespace veltrona
