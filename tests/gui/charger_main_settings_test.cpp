#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>

#include "devices/bus_devices.h"
#include "devices/charger/charge_profile.h"
#include "devices/charger/charger_main_settings_widget.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_view.h"
#include "tests/gui/gui_test_support.h"
#include "ui/numeric_field.h"

namespace veltrona {
namespace {

constexpr std::size_t kVoltageCapability = 0x00;  // 0x3000, the low half of the pair
constexpr std::size_t kTypeCapability = 0x02;
constexpr std::size_t kFunctions = 0x19;

// The main settings tab on a view record driven directly, as the settings page drives it.
class ChargerMainSettingsTest : public ::testing::Test {
  protected:
    ChargerMainSettingsTest() {
        devices_ = BuildBusDevices(BusDeviceSettings{});
        link_ = ChargerLink{&view_, &devices_, {}, {}};
        // 12 and 24 V; GEL, AGM, FLOODED, User ACID, User TRAC and User LI; relay and outputs.
        view_.received.capability[kVoltageCapability] = 0x0180;
        view_.received.capability[kTypeCapability] = 0x00E7;
        view_.received.capability[kFunctions] = 0x0007;
        tab_ = std::make_unique<ChargerMainSettingsTab>(link_, nullptr);
        QObject::connect(tab_.get(), &ChargerMainSettingsTab::statusMessage,
                         [this](const QString& text) { status_ = text; });
    }
    ~ChargerMainSettingsTest() override {
        tab_.reset();
        DestroyDeviceList(devices_);
    }

    void Show(std::uint16_t voltage, std::uint16_t type) {
        view_.edited = {};
        ASSERT_TRUE(ApplyPresets(view_.edited, voltage, type));
        tab_->Refresh();
    }
    template <typename T>
    T* Get(const char* name) {
        return Find<T>(*tab_, name);
    }
    QTabBar* Stages() { return Get<QTabBar>("tcSettingsStage"); }
    void SelectStage(std::size_t n) {
        const ChargeScript script = ChargeScriptFor(view_.edited[kSetTypeBatt]);
        for (std::size_t i = 0; i < script.stages.size(); ++i) {
            if (script.stages[i].stage == n) Stages()->setCurrentIndex(static_cast<int>(i));
        }
    }
    void Type(const char* edit, const char* text) {
        QLineEdit* field = Get<QLineEdit>(edit);
        field->clear();
        QTest::keyClicks(field, QString::fromUtf8(text));
        QTest::keyClick(field, Qt::Key_Return);
    }
    std::uint16_t Stage(std::size_t n, std::size_t offset) {
        return view_.edited[StageIndex(n, offset)];
    }

    MessageRecorder recorder_{MessageAnswer::kYes};
    DeviceList devices_;
    ChargerView view_;
    ChargerLink link_;
    std::unique_ptr<ChargerMainSettingsTab> tab_;
    QString status_;
};

TEST_F(ChargerMainSettingsTest, SelectorsApplyPresetsUnlessChargeIsOn) {
    const struct {
        const char* button;
        std::uint16_t voltage;
        std::uint16_t type;
    } cases[] = {
        {"rbtnSettingsBattVolt24", 240, 0},     {"rbtnSettingsBattTypeAgm", 240, 1},
        {"rbtnSettingsBattTypeULi", 240, 40},   {"rbtnSettingsBattVolt12", 120, 40},
        {"rbtnSettingsBattTypeUAcid", 120, 32}, {"rbtnSettingsBattTypeUTrac", 120, 36},
    };
    Show(120, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        view_.edited[kSetCapacityBatt] = 77;  // presets put the family's default back
        Get<QRadioButton>(c.button)->click();
        ChargerSettingsValues expected = view_.edited;
        ASSERT_TRUE(ApplyPresets(expected, c.voltage, c.type));
        EXPECT_EQ(view_.edited, expected);
        EXPECT_EQ(Stages()->count(), static_cast<int>(ChargeScriptFor(c.type).stages.size()));
        EXPECT_EQ(Stages()->currentIndex(), 0);
    }
    // While charging, a choice is refused and the selectors go back.
    view_.received.live[kChrgChargeState - 0x0600] = 1;
    const ChargerSettingsValues before = view_.edited;
    Get<QRadioButton>("rbtnSettingsBattVolt24")->click();
    Get<QRadioButton>("rbtnSettingsBattTypeGel")->click();
    EXPECT_EQ(view_.edited, before);
    EXPECT_TRUE(Get<QRadioButton>("rbtnSettingsBattVolt12")->isChecked());
    EXPECT_TRUE(Get<QRadioButton>("rbtnSettingsBattTypeUTrac")->isChecked());
    ASSERT_EQ(recorder_.messages.size(), 2u);
    EXPECT_EQ(recorder_.messages[1].text,
              "Заряд включён.\r\nЗапрещено изменение типа АБ\r\nпри включенном заряде");
}

TEST_F(ChargerMainSettingsTest, SelectorsFollowTheCapabilityBits) {
    view_.received.capability[kVoltageCapability] = 0x0C00;  // 36 and 48 V only
    view_.received.capability[kTypeCapability] = 0x0022;     // AGM and User ACID
    view_.received.capability[kFunctions] = 0x0004;          // outputs, no relay
    Show(480, 1);
    const std::pair<const char*, bool> expected[] = {
        {"rbtnSettingsBattVolt12", false},   {"rbtnSettingsBattVolt24", false},
        {"rbtnSettingsBattVolt36", true},    {"rbtnSettingsBattVolt48", true},
        {"rbtnSettingsBattVoltUser", false}, {"rbtnSettingsBattTypeGel", false},
        {"rbtnSettingsBattTypeAgm", true},   {"rbtnSettingsBattTypeFlooded", false},
        {"rbtnSettingsBattTypeUAcid", true}, {"rbtnSettingsBattTypeUTrac", false},
        {"rbtnSettingsBattTypeULi", false},  {"chbSettingsAddReleLockEnable", false},
        {"rbtnSettingsReleOutCase5", true},
    };
    for (const auto& [name, enabled] : expected)
        EXPECT_EQ(Get<QWidget>(name)->isEnabled(), enabled) << name;
}

TEST_F(ChargerMainSettingsTest, LithiumStageThreeCurrentCarriesIntoTheCoupledStages) {
    Show(120, 40);
    SelectStage(3);
    Type("eSettingsStageCurr", "50");
    EXPECT_EQ(Stage(3, kStageCurrent1), 5000);
    EXPECT_EQ(Stage(4, kStageCurrent1), 5000);
    EXPECT_EQ(Stage(5, kStageCurrent1), 700);
    EXPECT_EQ(Stage(6, kStageCurrent1), 700);
    EXPECT_EQ(Get<TUpDown>("udSettingsAddCurrOff")->limits().maximum, 600);
    // The voltage of stage 3 goes to 4, 5 and 6 as well.
    Type("eSettingsStageVolt", "14.20");
    for (const std::size_t n : {3, 4, 5, 6})
        EXPECT_EQ(Stage(n, kStageVoltage1), 1420) << n;
}

TEST_F(ChargerMainSettingsTest, UserAcidOffersItsStagesAndNoCapacity) {
    Show(120, 32);
    QStringList titles;
    for (int i = 0; i < Stages()->count(); ++i)
        titles << Stages()->tabText(i);
    EXPECT_EQ(titles, (QStringList{"Десульфатация", "Плавный старт", "Постоянный ток", "Абсорбция",
                                   "Анализ", "Буфер", "Выравн. заряд"}));
    EXPECT_FALSE(Get<QLineEdit>("eSettingsBattCapacity")->isEnabled());
    // Pulse 40 s makes the pause 120 s, its range 40..120.
    Type("eSettingsStageTPulse", "40");
    EXPECT_EQ(Stage(1, kStageTimePause), 120);
    EXPECT_EQ(Get<TUpDown>("udSettingsStageTPause")->limits().minimum, 40);
    EXPECT_EQ(Get<QLineEdit>("eSettingsStageTPause")->text(), "02.00");
}

TEST_F(ChargerMainSettingsTest, DescriptorBitsDecideWhatAStageOffers) {
    const struct {
        std::uint16_t flags;
        bool box_enabled;
        bool box_ticked;
        bool fields_enabled;
    } cases[] = {
        {0x0000, true, true, true},  {0x2000, true, false, true},   {0x4000, true, true, false},
        {0x8000, false, true, true}, {0xE000, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        Show(120, 32);
        view_.edited[StageIndex(1, kStageDescript)] = c.flags;
        tab_->Refresh();
        EXPECT_EQ(Get<QCheckBox>("chbSettingsStageEnable")->isEnabled(), c.box_enabled);
        EXPECT_EQ(Get<QCheckBox>("chbSettingsStageEnable")->isChecked(), c.box_ticked);
        for (const char* edit :
             {"eSettingsStageCurr", "eSettingsStageVolt", "eSettingsStageTPulse"})
            EXPECT_EQ(Get<QLineEdit>(edit)->isEnabled(), c.fields_enabled) << edit;
    }
    // The mask of User ACID stage 2 offers no pulse and pause.
    SelectStage(2);
    EXPECT_TRUE(Get<QLineEdit>("eSettingsStageCurr")->isEnabled());
    EXPECT_FALSE(Get<QLineEdit>("eSettingsStageTPulse")->isEnabled());
    // Unticking switches the stage off.
    Get<QCheckBox>("chbSettingsStageEnable")->click();
    EXPECT_NE(Stage(2, kStageDescript) & 0x2000, 0);
}

TEST_F(ChargerMainSettingsTest, OutputCasesSetTheCriterionOfTheShownOutput) {
    Show(240, 1);
    Get<QRadioButton>("rbtnSettingsReleOutCase5")->click();
    EXPECT_EQ(view_.edited[kSetReleOut1ControlCase], 5);
    EXPECT_EQ(view_.edited[kSetReleOut1ControlCase + 1], 1);
    EXPECT_EQ(view_.edited[kSetReleOut1ControlCase + 2], 2400);
    const FieldLimits voltage = Get<TUpDown>("udSettingsReleOutCriterion")->limits();
    EXPECT_EQ(std::tuple(voltage.minimum, voltage.maximum, voltage.increment),
              std::tuple(1200, 3000, 10));
    // Output 2 has the mains list: its own range when its tab is shown.
    view_.edited[kSetReleOut2ControlCase] = 4;
    view_.edited[kSetReleOut2ControlCase + 2] = 9;
    Get<QTabBar>("tcSettingsReleOut")->setCurrentIndex(1);
    EXPECT_EQ(Get<TUpDown>("udSettingsReleOutCriterion")->limits().maximum, 3);
    EXPECT_EQ(Get<QLineEdit>("eSettingsReleOutCriterion")->text(), "Норма");
    EXPECT_EQ(Get<QLabel>("labSettingsReleOutCriterion")->text(), "Напряжение сети");
    Get<TUpDown>("udSettingsReleOutCriterion")->StepDown();
    EXPECT_EQ(view_.edited[kSetReleOut2ControlCase + 2], 2);
    EXPECT_EQ(view_.edited[kSetReleOut1ControlCase + 2], 2400);
}

TEST_F(ChargerMainSettingsTest, InvalidTypeShowsTheRestAndClearsTheStageTabs) {
    Show(240, 1);
    view_.edited[kSetTypeBatt] = 99;
    view_.edited[kSetChargeTempMax] = 450;
    tab_->Refresh();
    EXPECT_EQ(status_, "Тип АБ не определён или не установлен");
    EXPECT_EQ(Stages()->count(), 0);
    EXPECT_FALSE(Get<QLineEdit>("eSettingsStageCurr")->isEnabled());
    EXPECT_TRUE(Get<QRadioButton>("rbtnSettingsBattVolt24")->isChecked());
    EXPECT_FALSE(Get<QRadioButton>("rbtnSettingsBattTypeAgm")->isChecked());
    EXPECT_EQ(Get<TUpDown>("udSettingsAddTempMax")->position(), 450);
    // Choosing a type brings the profile back.
    Get<QRadioButton>("rbtnSettingsBattTypeGel")->click();
    EXPECT_EQ(Stages()->count(), 6);
    EXPECT_EQ(view_.edited[kSetTypeBatt], 0);
}

TEST_F(ChargerMainSettingsTest, CapacityPresetsTheStagesAgain) {
    Show(240, 0);
    Type("eSettingsBattCapacity", "100");
    EXPECT_EQ(view_.edited[kSetCapacityBatt], 100);
    EXPECT_EQ(Stage(3, kStageCurrent1), 1500);
    EXPECT_EQ(view_.edited[kSetChargeCurrentOff], 100);
    EXPECT_EQ(Get<TUpDown>("udSettingsAddCurrOff")->limits().maximum, 500);
    // Typed beyond the GEL range at 24 V (50..660) stores the maximum, cut to the step of 10.
    Type("eSettingsBattCapacity", "999");
    EXPECT_EQ(view_.edited[kSetCapacityBatt], 660);
}

}  // namespace
}  // namespace veltrona
