#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <limits>

#include "devices/bms/bms_general_widget.h"
#include "devices/bms/bms_settings_widget.h"
#include "tests/gui/gui_test_support.h"
#include "ui/indicators.h"
#include "ui/numeric_field.h"

namespace veltrona {
namespace {

constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();

// The caption whose label stands for `field`; empty when none does.
QString CaptionOf(QWidget& root, const QWidget* field) {
    for (const QLabel* label : root.findChildren<QLabel*>())
        if (label->buddy() == field) return label->text();
    return {};
}

// The index of the tab holding `widget`, -1 when none does.
int TabOf(const QTabWidget& tabs, const QWidget* widget) {
    for (int i = 0; i < tabs.count(); ++i)
        if (tabs.widget(i)->isAncestorOf(widget)) return i;
    return -1;
}

bool HasGroup(QWidget& root, const QString& title) {
    for (const QGroupBox* group : root.findChildren<QGroupBox*>())
        if (group->title() == title) return true;
    return false;
}

// The captions of a lamp list, in lamp order.
QStringList LampCaptions(TFlagLamps& lamps) {
    QStringList captions;
    for (const QLabel* label : lamps.findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        captions << label->text();
    return captions;
}

class BmsPagesTest : public ::testing::Test {
  protected:
    BmsPagesTest() { QLocale::setDefault(QLocale::c()); }

    QWidget window_;
    BmsGeneralPage* general_ = new BmsGeneralPage(&window_);
    BmsSettingsPage* settings_ = new BmsSettingsPage(&window_);
    MessageRecorder recorder_{MessageAnswer::kYes};
    FileDialogAnswer files_{std::nullopt};
};

TEST_F(BmsPagesTest, GeneralPageHasReadOnlyPackFieldsGaugesAndGroups) {
    EXPECT_EQ(general_->objectName(), "pnlGeneral");
    EXPECT_EQ(Find<QTabWidget>(*general_, "pcGeneral")->count(), 2);
    const struct {
        const char* name;
        const char* caption;
    } fields[] = {
        {"ePackVoltage", "Напряжение АБ, В"},
        {"eDesignCapacity", "Номинальная ёмкость, А*ч"},
        {"eCellVoltageMax", "Максимальное, В"},
        {"eCellTempMin", "Минимальная, °С"},
        {"eTempAmbient", "Температура среды, °С"},
        {"eRelativeStateCharge", "Уровень заряда, %"},
        {"eCycleCount", "Количество циклов заряда"},
    };
    for (const auto& f : fields) {
        auto* field = Find<QLineEdit>(*general_, f.name);
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(field->isReadOnly()) << f.name;
        EXPECT_EQ(field->text(), "") << f.name;
        EXPECT_EQ(CaptionOf(*general_, field), f.caption) << f.name;
    }
    const auto gauges = general_->findChildren<QProgressBar*>();
    ASSERT_EQ(gauges.size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(gauges[i]->objectName(), QStringLiteral("pbCell_%1").arg(i));
        EXPECT_EQ(gauges[i]->orientation(), Qt::Vertical) << i;
    }
    for (const char* title : {"Параметры АБ", "Напряжение элементов", "Температура элементов",
                              "Состояние заряда", "Состояние датчиков"})
        EXPECT_TRUE(HasGroup(*general_, QString::fromUtf8(title))) << title;
}

TEST_F(BmsPagesTest, FlagListsHaveTheirFlagsInBitOrderAllSilver) {
    const struct {
        const char* group;
        const char* prefix;
        qsizetype count;
        const char* first;
        qsizetype middle;
        const char* middleCaption;
        const char* last;
    } lists[] = {
        {"gbSafetyStatus", "shSafetyStatus", 20, "COV (высокое напряжение элемента)", 7,
         "BALANCE FAIL", "DCNT (количество датчиков не соответствует)"},
        {"gbBatteryStatus", "shBatteryStatus", 9, "FULLY DISCHARGED (АБ разряжена)", 4,
         "TERMINATE DISCHARGE ALARM", "OVER CHARGED ALARM (перезаряд АБ)"},
        {"gbChargeStatus", "shChargeStatus", 8, "CC (АБ заряжена)", 3, "DS",
         "BAL (режим балансировки)"},
        {"gbDinStatus", "shDin_", 4, "Вход 1", 2, "Вход 3", "Вход 4"},
        {"gbDoutStatus", "shDout_", 4, "Выход 1", 1, "Выход 2", "Выход 4"},
    };
    for (const auto& l : lists) {
        auto* lamps = Find<TFlagLamps>(*general_, l.group);
        ASSERT_NE(lamps, nullptr);
        const QStringList captions = LampCaptions(*lamps);
        ASSERT_EQ(lamps->size(), static_cast<std::size_t>(l.count)) << l.group;
        ASSERT_EQ(captions.size(), l.count) << l.group;
        EXPECT_EQ(captions.first(), l.first) << l.group;
        EXPECT_EQ(captions[l.middle], l.middleCaption) << l.group;
        EXPECT_EQ(captions.last(), l.last) << l.group;
        for (std::size_t i = 0; i < lamps->size(); ++i) {
            EXPECT_EQ(lamps->lamp(i).objectName(),
                      QString::fromLatin1(l.prefix) + QString::number(i))
                << l.group;
            EXPECT_EQ(lamps->lamp(i).fill(), QColor(0xC0, 0xC0, 0xC0)) << l.group << i;
        }
    }
}

TEST_F(BmsPagesTest, RegisterSettingsAreNamedCaptionedRangedAndPlaced) {
    EXPECT_EQ(settings_->objectName(), "pnlSettings");
    auto* tabs = Find<QTabWidget>(*settings_, "pcDeviceSettings");
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 7);
    const struct {
        const char* name;
        int tab;
        const char* caption;
        const char* text;
        std::int32_t minimum;
        std::int32_t maximum;
    } fields[] = {
        {"eSetCfVoltage", 0, "Напряжение элемента, В", "0.000", 0, 0xFFFF},
        {"eSetCfCurrent", 0, "Ток, А", "0.000", kMin32, kMax32},
        {"eSetPrechVoltageThreshold", 0, "Порог напряжения, В", "0.000", 0, 0xFFFF},
        {"eSetPrechCurrent", 0, "Ток, А", "0.000", 0, kMax32},
        {"eSetDesignCellNumber", 0, "Количество элементов", "0", -0x8000, 0x7FFF},
        {"eSetTransitionIdleCurrent", 0, "Ток перехода в покой, А", "0.000", -0x8000, 0x7FFF},
        {"eSetBalanceResistor", 0, "Резистор, Ом", "0.000", 0, 0xFFFF},
        {"eSetCovThreshold", 1, "Порог, В", "0.000", 0, 0xFFFF},
        {"eSetCotThreshold", 2, "Порог, °C", "0", -0x8000, 0x7FFF},
        {"eSetOtambTime", 2, "Задержка", "0", 0, 0xFFFF},
        {"eSetUtdRecovery", 2, "Возврат, °C", "0.000", -0x8000, 0x7FFF},
        {"eSetOccThreshold", 3, "Порог, А", "0.000", kMin32, kMax32},
        {"eSetOccTime", 3, "Задержка, с", "0", -0x8000, 0x7FFF},
        {"eSetOcdTime", 3, "Задержка, с", "0", 0, 0xFFFF},
        {"eSetOtdsTime", 3, "Время в разряженном состоянии, мин", "0", 0, 0xFFFF},
        {"eSetDinTime", 3, "Время дискретного входа, мс", "0", 0, 0xFFFF},
        {"eSetAddrDevice", 5, "Адрес", "0", 1, 247},
        {"eSetStopBits", 5, "Число стоп-бит", "0", 0, 0xFF},
        {"eCmdStateCharge", 6, "Уровень заряда, %", "0", 0, 100},
    };
    for (const auto& f : fields) {
        auto* edit = Find<QLineEdit>(*settings_, f.name);
        ASSERT_NE(edit, nullptr);
        auto* field = qobject_cast<TNumericField*>(edit->parentWidget());
        ASSERT_NE(field, nullptr) << f.name;
        const QString arrows = QString::fromLatin1(f.name).replace(0, 1, QStringLiteral("ud"));
        EXPECT_EQ(field->arrows()->objectName(), arrows);
        EXPECT_EQ(TabOf(*tabs, edit), f.tab) << f.name;
        EXPECT_EQ(CaptionOf(*settings_, edit), f.caption) << f.name;
        EXPECT_EQ(edit->text(), f.text) << f.name;
        EXPECT_EQ(field->limits().minimum, f.minimum) << f.name;
        EXPECT_EQ(field->limits().maximum, f.maximum) << f.name;
    }
    // Every operating and protection register but the low halves and the reserves.
    int registers = 0;
    for (const TNumericField* field : settings_->findChildren<TNumericField*>()) {
        const QString name = field->edit()->objectName();
        EXPECT_FALSE(name.contains("Lsb") || name.contains("Reserve") || name.endsWith("Trh"))
            << name.toStdString();
        if (TabOf(*tabs, field) <= 3) ++registers;
    }
    EXPECT_EQ(registers, 33 + 45);
}

TEST_F(BmsPagesTest, ModesAlarmsAndCommandsArePlacedAndPaired) {
    auto* tabs = Find<QTabWidget>(*settings_, "pcDeviceSettings");
    ASSERT_NE(tabs, nullptr);
    const struct {
        const char* name;
        int tab;
    } controls[] = {{"rbtnSetCapacityWh", 4}, {"rbtnSetModeFloat", 4}, {"cbSetBuzzer", 4},
                    {"cbSetAlarm19", 4},      {"eSetBaudrate", 5},     {"eCmdPassword", 6},
                    {"btnCmdJournalClear", 6}};
    for (const auto& c : controls)
        EXPECT_EQ(TabOf(*tabs, Find<QWidget>(*settings_, c.name)), c.tab) << c.name;
    for (const char* title :
         {"Настройки связи", "Калибровка датчика тока", "Дата/время", "Журнал аварий", "Пароль",
          "Уровень заряда", "Количество циклов заряда"})
        EXPECT_TRUE(HasGroup(*settings_, QString::fromUtf8(title))) << title;

    // The alarm flags read as the SafetyStatus lamps do.
    const QStringList lamps = LampCaptions(*Find<TFlagLamps>(*general_, "gbSafetyStatus"));
    for (int i = 0; i < lamps.size(); ++i) {
        auto* box = Find<QCheckBox>(*settings_,
                                    QStringLiteral("cbSetAlarm%1").arg(i).toLatin1().constData());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), lamps[i]);
        EXPECT_FALSE(box->isChecked());
    }

    // Each option's two choices exclude each other and nothing else.
    auto* wh = Find<QRadioButton>(*settings_, "rbtnSetCapacityWh");
    auto* ah = Find<QRadioButton>(*settings_, "rbtnSetCapacityAh");
    auto* cyclic = Find<QRadioButton>(*settings_, "rbtnSetModeCyclic");
    auto* plus = Find<QRadioButton>(*settings_, "rbtnSetCellsFromPlus");
    wh->click();
    cyclic->click();
    plus->click();
    EXPECT_TRUE(wh->isChecked() && cyclic->isChecked() && plus->isChecked());
    ah->click();
    EXPECT_FALSE(wh->isChecked());
    EXPECT_TRUE(cyclic->isChecked() && plus->isChecked());
}

TEST_F(BmsPagesTest, ButtonsDoNothing) {
    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {{"btnSettingsOpen", "Открыть"},     {"btnSettingsSave", "Сохранить"},
                   {"btnSettingsCompare", "Сравнить"}, {"btnSettingsReceive", "Прочитать"},
                   {"btnSettingsSend", "Передать"},    {"btnSettingsUndo", "Отменить"}};
    for (const auto& b : buttons)
        EXPECT_EQ(Find<QPushButton>(*settings_, b.name)->text(), b.caption) << b.name;
    EXPECT_EQ(Find<QLineEdit>(*settings_, "eFileSettingsName")->text(), "");

    // The pages declare no signals, so a window has nothing to send on.
    for (const QWidget* page : {static_cast<QWidget*>(general_), static_cast<QWidget*>(settings_)})
        EXPECT_EQ(page->metaObject()->methodCount(), QWidget::staticMetaObject.methodCount());

    std::vector<std::pair<QLineEdit*, QString>> texts;
    for (QLineEdit* edit : window_.findChildren<QLineEdit*>())
        texts.emplace_back(edit, edit->text());
    const auto pushButtons = window_.findChildren<QPushButton*>();
    EXPECT_EQ(pushButtons.size(), 6 + 8);
    for (QPushButton* button : pushButtons)
        button->click();
    EXPECT_TRUE(recorder_.messages.empty());
    EXPECT_TRUE(files_.folders.empty());
    for (const auto& [edit, text] : texts)
        EXPECT_EQ(edit->text(), text) << edit->objectName().toStdString();
    for (const QAbstractButton* box : window_.findChildren<QAbstractButton*>())
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
}

}  // namespace
}  // namespace veltrona
