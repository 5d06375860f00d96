#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <fstream>

#include "devices/bus_devices.h"
#include "devices/charger/charge_profile.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_settings_widget.h"
#include "devices/charger/charger_settings_workflow.h"
#include "devices/charger/charger_view.h"
#include "devices/charger/charger_window.h"
#include "files/device_settings_file.h"
#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

const QString kFromDevice = QStringLiteral("Настройки из устройства");

ChargerSettingsValues Profile(std::uint16_t voltage, std::uint16_t type, std::uint16_t mark) {
    ChargerSettingsValues values{};
    EXPECT_TRUE(ApplyPresets(values, voltage, type));
    values[0x07] = mark;  // a reserve register tells the sets apart
    return values;
}

// The window on its own with the view record driven directly, as in the workflow's steps.
class ChargerSettingsTest : public ::testing::Test {
  protected:
    ChargerSettingsTest() {
        devices_ = BuildBusDevices(BusDeviceSettings{});
        window_.Attach(ChargerLink{&view_, &devices_, [this] { ++cycleStarts_; }, Folder()});
        QObject::connect(&window_.settingsPage(), &ChargerSettingsPage::settingsPagesRefreshed,
                         [this] { ++refreshes_; });
        view_.received.settings = Profile(240, 1, 11);
        view_.received.link = {1, 4, 0};
    }
    ~ChargerSettingsTest() override { DestroyDeviceList(devices_); }

    std::filesystem::path Folder() const { return folder_.path().toStdString(); }
    DeviceModel& Model() { return *devices_.At(kChargerIndex); }
    void Click(const char* name) { Find<QPushButton>(window_, name)->click(); }
    QString Name() { return Find<QLineEdit>(window_, "eFileSettingsName")->text(); }
    QString Picture() {
        return Find<QLabel>(window_, "imgStatusSettings")->property("picture").toString();
    }

    std::filesystem::path WriteFile(const char* name, const std::string& bytes) {
        const std::filesystem::path path = Folder() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::filesystem::path WriteSettingsFile(const char* name, const ChargerSettingsValues& v) {
        return WriteFile(name,
                         *ComposeDeviceSettings(kChargerSettingsTitle, ChargerSettingsKeys(), v));
    }
    // Open through the button, the dialog answered with `path`.
    void Open(const std::optional<std::filesystem::path>& path) {
        FileDialogAnswer answer(path);
        Click("btnSettingsOpen");
    }

    bool BlockQueued(std::uint16_t block) const {
        const RegisterBlock& b = devices_.At(kChargerIndex)->blocks[block];
        return std::any_of(b.write_request_map.begin(), b.write_request_map.end(),
                           [](std::uint8_t byte) { return byte != 0; });
    }

    QTemporaryDir folder_;
    MessageRecorder recorder_{MessageAnswer::kYes};
    DeviceList devices_;
    ChargerView view_;
    TFormChrgNet window_;
    int cycleStarts_ = 0;
    int refreshes_ = 0;
};

TEST_F(ChargerSettingsTest, OpenTakesTheWholeFileAndShowsWhereItCameFrom) {
    EXPECT_EQ(Picture(), QStringLiteral("24_24_RADIATION"));
    EXPECT_EQ(Name(), kFromDevice);
    const ChargerSettingsValues file = Profile(120, 0, 22);
    const std::filesystem::path path = WriteSettingsFile("a.ini", file);
    FileDialogAnswer answer(path);
    Click("btnSettingsOpen");

    EXPECT_EQ(answer.folders, std::vector<std::filesystem::path>{Folder()});
    EXPECT_EQ(view_.edited, file);
    EXPECT_EQ(view_.link, view_.received.link);
    EXPECT_EQ(view_.settings_source, 1);
    EXPECT_EQ(Picture(), QStringLiteral("24_24_NEW_3"));
    EXPECT_EQ(Name(), QString::fromStdString(path.string()));
    EXPECT_EQ(refreshes_, 1);
}

// A load that fails part-way must not leave a mix of two files behind, which Undo would
// otherwise bring back under the old file's name.
TEST_F(ChargerSettingsTest, FailedOpensChangeNothing) {
    const ChargerSettingsValues first = Profile(120, 0, 22);
    const std::filesystem::path firstPath = WriteSettingsFile("first.ini", first);
    Open(firstPath);
    const std::string good =
        *ComposeDeviceSettings(kChargerSettingsTitle, ChargerSettingsKeys(), Profile(480, 2, 33));
    std::string badValue = good;
    badValue.replace(badValue.find('=', badValue.find("ChargeStage_5_Current_1")) + 1, 5, "  1x2");
    const std::string wrongTitle = "НАСТРОЙКИ ПРИБОРА" + good.substr(good.find('\r'));
    const struct {
        const char* label;
        std::optional<std::filesystem::path> path;
        int messages;
    } cases[] = {
        {"cancelled", std::nullopt, 0},
        {"missing file", Folder() / "none.ini", 1},
        {"wrong title", WriteFile("title.ini", wrongTitle), 1},
        {"bad value mid-file", WriteFile("bad.ini", badValue), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        view_.edited[0x40] = 777;
        recorder_.messages.clear();
        Open(c.path);
        EXPECT_EQ(recorder_.messages.empty(), c.messages == 0);
        EXPECT_EQ(view_.file_settings, first);
        EXPECT_EQ(view_.edited[0x40], 777);
        EXPECT_EQ(Name(), QString::fromStdString(firstPath.string()));
        Click("btnSettingsUndo");
        EXPECT_EQ(view_.edited, first);
    }
}

TEST_F(ChargerSettingsTest, KeyMissingFromTheFileKeepsThePreviousLoadsValue) {
    ChargerSettingsValues first = Profile(120, 0, 22);
    first[kSetCapacityBatt] = 123;
    Open(WriteSettingsFile("first.ini", first));
    const std::string second =
        *ComposeDeviceSettings(kChargerSettingsTitle, ChargerSettingsKeys(), Profile(240, 1, 33));
    const std::size_t line = second.find("CapacityBatt");
    const std::string without = second.substr(0, line) + second.substr(second.find('\n', line) + 1);
    Open(WriteFile("second.ini", without));
    EXPECT_EQ(view_.edited[kSetCapacityBatt], 123);
    EXPECT_EQ(view_.edited[0x07], 33);
}

TEST_F(ChargerSettingsTest, UndoGoesBackToWhereTheSettingsCameFrom) {
    const ChargerSettingsValues file = Profile(360, 2, 44);
    const struct {
        const char* label;
        std::function<void()> take;
        ChargerSettingsValues expected;
    } cases[] = {
        {"nothing taken yet", [] {}, view_.received.settings},
        {"received", [this] { Click("btnSettingsReceive"); }, view_.received.settings},
        {"opened", [&] { Open(WriteSettingsFile("u.ini", file)); }, file},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        c.take();
        view_.edited[0x50] ^= 0x5A5A;
        view_.link[0] = 99;
        const int before = refreshes_;
        Click("btnSettingsUndo");
        EXPECT_EQ(view_.edited, c.expected);
        EXPECT_EQ(view_.link, view_.received.link);
        EXPECT_EQ(refreshes_, before + 1);
    }
    EXPECT_TRUE(recorder_.messages.empty());
}

TEST_F(ChargerSettingsTest, SendRefusesWhatTheDeviceMustNotGet) {
    const QString undefined = QStringLiteral("Настройки не определены");
    const QString invalid = QStringLiteral("Не корректные настройки");
    const struct {
        const char* label;
        std::function<void()> setup;
        QString message;
    } cases[] = {
        {"not available", [this] { view_.not_available = true; },
         QStringLiteral("Устройство не доступно")},
        {"neither received nor opened", [] {}, undefined},
        {"battery type 99",
         [this] {
             Click("btnSettingsReceive");
             view_.edited[kSetTypeBatt] = 99;
         },
         invalid},
        {"voltage code 110",
         [this] {
             Click("btnSettingsReceive");
             view_.edited[kSetTypeBattVoltage] = 110;
         },
         invalid},
        {"broadcast address",
         [this] {
             Click("btnSettingsReceive");
             view_.link[0] = 0;
         },
         invalid},
        {"address 248",
         [this] {
             Click("btnSettingsReceive");
             view_.link[0] = 248;
         },
         invalid},
        {"baud code 6",
         [this] {
             Click("btnSettingsReceive");
             view_.link[1] = 6;
         },
         invalid},
        {"parity code 3",
         [this] {
             Click("btnSettingsReceive");
             view_.link[2] = 0x0300;
         },
         invalid},
        {"stop-bit code 3",
         [this] {
             Click("btnSettingsReceive");
             view_.link[2] = 0x0003;
         },
         invalid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        view_ = ChargerView{};
        view_.received.settings = Profile(240, 1, 11);
        view_.received.link = {1, 4, 0};
        c.setup();
        view_.edited[kSetWaySaveSettings] = 0;
        recorder_.messages.clear();
        const int before = refreshes_;
        Click("btnSettingsSend");
        ASSERT_EQ(recorder_.messages.size(), 1u);
        EXPECT_EQ(recorder_.messages[0].text, c.message);
        EXPECT_FALSE(BlockQueued(kChargerBlockSettings));
        EXPECT_FALSE(BlockQueued(kChargerBlockLink));
        // Validation ran and corrected the set: the pages show what it left.
        const bool validated = c.message == invalid;
        EXPECT_EQ(view_.edited[kSetWaySaveSettings], validated ? 1 : 0);
        EXPECT_EQ(refreshes_, before + (validated ? 1 : 0));
    }
    EXPECT_EQ(cycleStarts_, 0);
}

TEST_F(ChargerSettingsTest, SendQueuesTheWholeSettingsBlockAndTheLinkSet) {
    Click("btnSettingsReceive");
    view_.link = {9, 5, 0x0101};
    Click("btnSettingsSend");
    EXPECT_TRUE(recorder_.messages.empty());
    const RegisterBlock& settings = Model().blocks[kChargerBlockSettings];
    const RegisterBlock& link = Model().blocks[kChargerBlockLink];
    EXPECT_EQ(settings.write_request_map, std::vector<std::uint8_t>(32, 0xFF));
    EXPECT_EQ(settings.edit_map, std::vector<std::uint8_t>(32, 0xFF));
    EXPECT_TRUE(
        std::equal(view_.edited.begin(), view_.edited.end(), settings.values_to_write.begin()));
    EXPECT_EQ(view_.edited, view_.received.settings);
    EXPECT_EQ(link.write_request_map, std::vector<std::uint8_t>{0x07});
    EXPECT_EQ(link.values_to_write, (std::vector<std::uint16_t>{9, 5, 0x0101}));
    EXPECT_NE(settings.poll_mode & kPollWriteOnce, 0);
    EXPECT_NE(link.poll_mode & kPollWriteOnce, 0);
    EXPECT_EQ(cycleStarts_, 1);
}

TEST_F(ChargerSettingsTest, SaveWritesTheEditedSettingsAsTheyStand) {
    Click("btnSettingsReceive");
    view_.edited[kSetTypeBatt] = 99;
    view_.edited[StageIndex(3, kStageFTemp)] = static_cast<std::uint16_t>(-24);
    const std::filesystem::path path = Folder() / "saved.ini";
    FileDialogAnswer answer(path);
    Click("btnSettingsSave");
    EXPECT_EQ(ReadFile(path),
              *ComposeDeviceSettings(kChargerSettingsTitle, ChargerSettingsKeys(), view_.edited));
    EXPECT_NE(ReadFile(path).find("=65512      //"), std::string::npos);
    EXPECT_EQ(view_.edited[kSetTypeBatt], 99);
    EXPECT_EQ(Name(), kFromDevice);
}

TEST_F(ChargerSettingsTest, CompareOnlyTellsItIsNotThere) {
    window_.ShowServiceItems();
    Click("btnSettingsCompare");
    EXPECT_EQ(recorder_.Count(QStringLiteral("Обработчик не реализован")), 1);
}

}  // namespace
}  // namespace veltrona
