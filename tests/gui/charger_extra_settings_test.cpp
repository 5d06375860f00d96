#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include "devices/charger/charger_extra_settings_widget.h"
#include "devices/charger/charger_view.h"
#include "tests/gui/gui_test_support.h"
#include "ui/numeric_field.h"

namespace veltrona {
namespace {

constexpr std::size_t kMode = 0x05;
constexpr std::size_t kRestart = 0x06;
const char* const kLinkFields[] = {"Rs485Addr", "Rs485Baudrate", "Rs485Parity", "Rs485StopBits"};
const struct {
    const char* name;
    unsigned bit;
} kRestartBoxes[] = {
    {"VoltNetFall", 15}, {"VoltNetNorm", 14}, {"VoltDc", 13},        {"BattOff", 12},
    {"VoltBattDc", 11},  {"VoltBattSet", 6},  {"TermoBattFault", 5}, {"TermoBattDn", 4},
    {"TermoBattUp", 3},  {"TermoFault", 2},   {"TermoFault1", 1},    {"TermoOverheat", 0},
};
const char* const kModes[] = {"Hard", "HardSoftOff", "Soft", "SoftHardOff", "Combined"};

class ChargerExtraSettingsTest : public ::testing::Test {
  protected:
    ChargerExtraSettingsTest() { tab_.show(); }

    template <typename T>
    T* Named(const char* prefix, const char* name) {
        return Find<T>(tab_, (std::string(prefix) + name).c_str());
    }
    std::string Text(const char* field) {
        return Named<QLineEdit>("eSettings", field)->text().toStdString();
    }
    QCheckBox* Box(const char* name) {
        return Named<QCheckBox>("cbSettingsErrorReChargeEnable", name);
    }
    QRadioButton* Mode(int mode) {
        return Named<QRadioButton>("rbtnSettingsChargeCommandMode", kModes[mode]);
    }
    void Show(const ChargerLinkValues& link) {
        view_.link = link;
        tab_.Refresh();
    }

    MessageRecorder recorder_{MessageAnswer::kYes};
    ChargerView view_;
    ChargerLink link_{&view_, nullptr, {}, {}};
    ChargerExtraSettingsTab tab_{link_, nullptr};
};

// Odd values are shown as they are and left as they are: Refresh stores nothing.
TEST_F(ChargerExtraSettingsTest, RefreshShowsTheLinkSetAndTheSettings) {
    const std::string unknown = "Не понял";
    const struct {
        ChargerLinkValues link;
        std::uint16_t mode, restart;
        std::string texts[4];
        int checkedMode;
    } cases[] = {
        {{17, 4, 0x0201}, 2, 0x8001, {"17", "115200", "ODD", "2b"}, 2},
        {{247, 5, 0x0102}, 0, 0x0780, {"247", "230400", "EVEN", "1b5"}, 0},
        {{300, 6, 0x0303}, 5, 0x7FFE, {"300", unknown, unknown, unknown}, 4},
        {{0, 900, 0xFF00}, 65535, 0xFFFF, {"0", unknown, unknown, "1b"}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.texts[0]);
        view_.edited[kMode] = c.mode;
        view_.edited[kRestart] = c.restart;
        const ChargerSettingsValues edited = view_.edited;
        Show(c.link);
        for (std::size_t i = 0; i < std::size(kLinkFields); ++i)
            EXPECT_EQ(Text(kLinkFields[i]), c.texts[i]) << kLinkFields[i];
        for (const auto& box : kRestartBoxes)
            EXPECT_EQ(Box(box.name)->isChecked(), ((c.restart >> box.bit) & 1) != 0) << box.name;
        for (int mode = 0; mode < 5; ++mode)
            EXPECT_EQ(Mode(mode)->isChecked(), mode == c.checkedMode) << kModes[mode];
        EXPECT_EQ(view_.edited, edited);
        EXPECT_EQ(view_.link, c.link);
    }
}

TEST_F(ChargerExtraSettingsTest, ArrowsStepWithinTheirBoundsAndKeepTheOtherByte) {
    const struct {
        const char* field;
        bool up;
        ChargerLinkValues before, after;
        const char* text;
    } cases[] = {
        {"Rs485Addr", true, {5, 0, 0}, {6, 0, 0}, "6"},
        {"Rs485Addr", true, {247, 0, 0}, {247, 0, 0}, "247"},
        {"Rs485Addr", false, {1, 0, 0}, {1, 0, 0}, "1"},
        {"Rs485Baudrate", true, {1, 4, 0}, {1, 5, 0}, "230400"},
        {"Rs485Baudrate", true, {1, 5, 0}, {1, 5, 0}, "230400"},
        {"Rs485Parity", true, {1, 0, 0x0102}, {1, 0, 0x0202}, "ODD"},
        {"Rs485Parity", false, {1, 0, 0x0002}, {1, 0, 0x0002}, "NONE"},
        {"Rs485StopBits", true, {1, 0, 0x0102}, {1, 0, 0x0102}, "1b5"},
        {"Rs485StopBits", false, {1, 0, 0x0201}, {1, 0, 0x0200}, "1b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + (c.up ? " up to " : " down to ") + c.text);
        Show(c.before);
        TUpDown* arrows = Named<TUpDown>("udSettings", c.field);
        (c.up ? arrows->upButton() : arrows->downButton())->click();
        EXPECT_EQ(view_.link, c.after);
        EXPECT_EQ(Text(c.field), c.text);
    }
}

// A typed rate such as 115200 would be limited to the highest code and sent.
TEST_F(ChargerExtraSettingsTest, OnlyTheAddressTakesTyping) {
    const struct {
        const char* field;
        const char* typed;
        ChargerLinkValues after;
        const char* text;
    } cases[] = {
        {"Rs485Addr", "17", {17, 1, 0x0101}, "17"},
        {"Rs485Addr", "300", {247, 1, 0x0101}, "247"},
        {"Rs485Baudrate", "115200", {9, 1, 0x0101}, "19200"},
        {"Rs485Parity", "2", {9, 1, 0x0101}, "EVEN"},
        {"Rs485StopBits", "2", {9, 1, 0x0101}, "2b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.typed);
        Show({9, 1, 0x0101});
        QLineEdit* edit = Named<QLineEdit>("eSettings", c.field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(c.typed));
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(view_.link, c.after);
        EXPECT_EQ(Text(c.field), c.text);
    }
}

TEST_F(ChargerExtraSettingsTest, RestartBoxesAndModeButtonsStoreOnlyTheirValue) {
    for (const std::uint16_t start : {0x0000, 0xFFFF}) {
        for (const auto& box : kRestartBoxes) {
            SCOPED_TRACE(std::string(box.name) + " from " + std::to_string(start));
            view_.edited[kRestart] = start;
            tab_.Refresh();
            ChargerSettingsValues expected = view_.edited;
            expected[kRestart] = static_cast<std::uint16_t>(start ^ (1U << box.bit));
            Box(box.name)->click();
            EXPECT_EQ(view_.edited, expected);
        }
    }
    for (std::uint16_t mode = 0; mode < 5; ++mode) {
        SCOPED_TRACE(kModes[mode]);
        view_.edited[kMode] = static_cast<std::uint16_t>((mode + 1) % 5);
        tab_.Refresh();
        ChargerSettingsValues expected = view_.edited;
        expected[kMode] = mode;
        Mode(mode)->click();
        EXPECT_EQ(view_.edited, expected);
    }
}

}  // namespace
}  // namespace veltrona
