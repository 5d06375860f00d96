#include "link/port_names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace veltrona {
namespace {

namespace fs = std::filesystem;

TEST(ComNumberFromName, ReadsTheComPrefix) {
    EXPECT_EQ(ComNumberFromName("COM12 (ttyS11)"), 12);
    EXPECT_EQ(ComNumberFromName("COM1"), 1);
    EXPECT_EQ(ComNumberFromName("COM255 (pts/0)"), 255);
    EXPECT_EQ(ComNumberFromName("COM256"), 0);
    EXPECT_EQ(ComNumberFromName("COM99999999999"), 0);
    EXPECT_EQ(ComNumberFromName("CNCA0"), 0);
    EXPECT_EQ(ComNumberFromName("COM"), 0);
    EXPECT_EQ(ComNumberFromName("com3"), 0);
    EXPECT_EQ(ComNumberFromName(""), 0);
}

// A program folder, a sysfs tree and a /dev tree under one temporary folder.
class FakeSystem : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = fs::temp_directory_path() / "veltrona-names-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(Ports());
        fs::create_directories(Dev());
    }

    void TearDown() override { fs::remove_all(root_); }

    fs::path App() const { return root_ / "app"; }
    fs::path Ports() const { return App() / "ports"; }
    fs::path Sys() const { return root_ / "sys"; }
    fs::path Dev() const { return root_ / "dev"; }

    static void Write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    void Node(const std::string& name) const { Write(Dev() / name, ""); }
    void Link(const std::string& com, const fs::path& target) const {
        fs::create_symlink(target, Ports() / com);
    }

    // A tty with hardware behind it; type is the sysfs UART type (empty: no attribute).
    void Port(const std::string& name, const std::string& type = "") const {
        fs::create_directories(Sys() / "class" / "tty" / name / "device");
        if (!type.empty()) Write(Sys() / "class" / "tty" / name / "type", type);
    }

    // A USB adapter: the tty's device is an interface below the USB device with its product.
    void UsbPort(const std::string& name, const std::string& usb, const std::string& product,
                 bool tty_below_interface) const {
        const fs::path device = Sys() / "devices" / "usb1" / usb;
        Write(device / "idVendor", "0403\n");
        if (!product.empty()) Write(device / "product", product + "\n");
        fs::path tty = device / (usb + ":1.0");
        if (tty_below_interface) tty /= name;
        fs::create_directories(tty);
        fs::create_directories(Sys() / "class" / "tty" / name);
        fs::create_directory_symlink(tty, Sys() / "class" / "tty" / name / "device");
    }

    fs::path root_;
};

TEST_F(FakeSystem, ResolvesALinkBeforeTheFixedMapping) {
    Link("COM5", Dev() / "gone");
    EXPECT_EQ(ResolveComPath(5, App(), Dev()), (Ports() / "COM5").string());
    EXPECT_EQ(ResolveComPath(1, App(), Dev()), (Dev() / "ttyS0").string());
    EXPECT_EQ(ResolveComPath(32, App(), Dev()), (Dev() / "ttyS31").string());
    EXPECT_EQ(ResolveComPath(33, App(), Dev()), (Dev() / "ttyUSB0").string());
    EXPECT_EQ(ResolveComPath(96, App(), Dev()), (Dev() / "ttyUSB63").string());
    EXPECT_EQ(ResolveComPath(97, App(), Dev()), (Dev() / "ttyACM0").string());
    EXPECT_EQ(ResolveComPath(160, App(), Dev()), (Dev() / "ttyACM63").string());
    EXPECT_EQ(ResolveComPath(12, App()), "/dev/ttyS11");
    for (const int com : {0, -1, 161, 256}) {
        EXPECT_EQ(ResolveComPath(com, App(), Dev()), "") << com;
    }
}

TEST_F(FakeSystem, ListsRealPortsAndLinksInComOrder) {
    for (const char* name : {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyUSB0", "ttyUSB1", "ttyUSB3",
                             "ttyUSB7", "ttyACM2", "pts/3", "pts/4"}) {
        Node(name);
    }
    Port("ttyS0", "4\n");
    Port("ttyS1", "0\n");                                       // no UART answers behind it
    fs::create_directories(Sys() / "class" / "tty" / "ttyS2");  // no hardware at all
    Port("ttyS3");  // no type attribute and no serial driver answer: kept
    UsbPort("ttyUSB0", "1-1", "FT232R USB UART", true);
    UsbPort("ttyACM2", "1-2", "CDC Bridge", false);
    UsbPort("ttyUSB3", "1-4", "", true);
    Port("ttyUSB1");  // its number has a link
    Port("ttyUSB5");  // no device node
    Port("ttyUSB7");  // its number has a dangling link
    Write(root_ / "elsewhere" / "ttyV0", "");

    Link("COM7", Dev() / "pts" / "3");
    Link("COM34", Dev() / "ttyUSB0");
    Link("COM40", Dev() / "gone");
    Link("COM8", root_ / "elsewhere" / "ttyV0");
    Link("COM200", Dev() / "pts" / "4");
    Link("COM07", Dev() / "pts" / "3");
    Link("CNCA0", Dev() / "pts" / "3");
    Link("COM", Dev() / "pts" / "3");
    Write(Ports() / "COM9", "");  // not a link

    const std::vector<std::string> expected = {
        "COM1 (ttyS0)",
        "COM4 (ttyS3)",
        "COM7 (pts/3)",
        "COM8 (ttyV0)",
        "COM33 (ttyUSB0, FT232R USB UART)",
        "COM34 (ttyUSB0, FT232R USB UART)",
        "COM36 (ttyUSB3)",
        "COM99 (ttyACM2, CDC Bridge)",
        "COM200 (pts/4)",
    };
    EXPECT_EQ(EnumeratePorts(App(), Sys(), Dev()), expected);
}

}  // namespace
}  // namespace veltrona
