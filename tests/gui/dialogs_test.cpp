#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>
#include <QUrlQuery>
#include <array>
#include <vector>

#include "shell/form_about.h"
#include "shell/form_monitor_port.h"
#include "shell/form_password.h"
#include "shell/form_process.h"
#include "shell/form_settings.h"
#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

void Click(QWidget& parent, const char* name) {
    QTest::mouseClick(Find<QWidget>(parent, name), Qt::LeftButton);
}

// Records every modal message instead of showing it.
class DialogTest : public ::testing::Test {
  protected:
    MessageRecorder recorder{MessageAnswer::kOk};
};

// ---- port settings dialog ----

class SettingsDialogTest : public DialogTest {
  protected:
    void Show(const PortSettings& port, std::array<std::uint8_t, 3> addresses = {1, 2, 3},
              std::array<bool, 3> enabled = {true, true, false}, bool open = false) {
        dialog.Load(port, false, addresses, enabled, open);
        dialog.show();
    }
    QComboBox* List(const char* name) { return Find<QComboBox>(dialog, name); }
    void ClickArrow(const char* arrows, const char* which) {
        QTest::mouseClick(Find<QWidget>(dialog, arrows)->findChild<QToolButton*>(which),
                          Qt::LeftButton);
    }
    void ClickEnable(const char* name) {
        QCheckBox* box = Find<QCheckBox>(dialog, name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }

    TFormSettings dialog;
};

TEST_F(SettingsDialogTest, UnlistedTimesShowFiftyAndAreStoredAsFifty) {
    PortSettings port;
    port.TimeWait = 70000;
    port.TimeRest = 0;
    port.Baudrate = 14400;
    Show(port);
    EXPECT_EQ(List("cbTimeWaitPort")->currentText(), "50");
    EXPECT_EQ(List("cbTimeRestPort")->currentText(), "50");
    EXPECT_EQ(List("cbBaudratePort")->currentText(), "9600");
    EXPECT_EQ(List("cbNamePort")->currentText(), "COM1");

    List("cbDataBitsPort")->setCurrentIndex(3);
    Click(dialog, "btnSave");
    EXPECT_EQ(dialog.result(), TFormSettings::ApplySave);
    EXPECT_EQ(dialog.portSettings().TimeWait, 50000);
    EXPECT_EQ(dialog.portSettings().TimeRest, 50000);
    EXPECT_EQ(dialog.portSettings().Baudrate, 9600);
    EXPECT_EQ(dialog.portSettings().DataBits, 7);
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(SettingsDialogTest, PortsOutsideTheListSelectNothing) {
    for (std::int32_t number : {0, 256, -3}) {
        PortSettings port;
        port.Port = number;
        Show(port);
        EXPECT_EQ(List("cbNamePort")->currentIndex(), 0) << number;
    }
    PortSettings port;
    port.Port = 255;
    Show(port);
    EXPECT_EQ(List("cbNamePort")->currentText(), "COM255");
}

TEST_F(SettingsDialogTest, ApplyWithoutChangeClosesAsCancel) {
    Show(PortSettings{});
    Click(dialog, "btnApply");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), TFormSettings::Cancel);

    // An earlier showing's change leaves no trace in the next one.
    Show(PortSettings{});
    List("cbParityPort")->setCurrentIndex(2);
    Click(dialog, "btnCancel");
    EXPECT_EQ(dialog.result(), TFormSettings::Cancel);
    Show(PortSettings{});
    EXPECT_EQ(List("cbParityPort")->currentText(), "NONE");
    Click(dialog, "btnApply");
    EXPECT_EQ(dialog.result(), TFormSettings::Cancel);
}

TEST_F(SettingsDialogTest, ValidationMessagesInOrderThenEntriesTaken) {
    Show(PortSettings{});
    constexpr std::array<const char*, 7> kLists{"cbNamePort",    "cbBaudratePort", "cbDataBitsPort",
                                                "cbParityPort",  "cbStopBitsPort", "cbTimeRestPort",
                                                "cbTimeWaitPort"};
    for (const char* name : kLists)
        List(name)->setCurrentIndex(0);

    constexpr std::array<int, 7> kChoices{3, 7, 3, 3, 2, 3, 4};
    for (std::size_t i = 0; i < kLists.size(); ++i) {
        Click(dialog, "btnApply");
        EXPECT_TRUE(dialog.isVisible());
        List(kLists[i])->setCurrentIndex(kChoices[i]);
    }
    const std::vector<QString> expected{
        "Порт не выбран",
        "Скорость порта не выбрана",
        "Число бит данных порта не выбрано",
        "Чётность данных порта не выбрана",
        "Число стоп-бит порта не выбрано",
        "Время \"тишины\" не выбрано",
        "Время ожидания ответа не выбрано",
    };
    ASSERT_EQ(recorder.messages.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(recorder.messages[i].text, expected[i]);
        EXPECT_EQ(recorder.messages[i].caption, "Предупреждение");
    }

    Click(dialog, "btnApply");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), TFormSettings::Apply);
    const PortSettings taken = dialog.portSettings();
    EXPECT_EQ(taken.Port, 3);
    EXPECT_EQ(taken.Baudrate, 19200);
    EXPECT_EQ(taken.DataBits, 7);
    EXPECT_EQ(taken.Parity, 2);
    EXPECT_EQ(taken.StopBits, 1);
    EXPECT_EQ(taken.TimeRest, 30000);
    EXPECT_EQ(taken.TimeWait, 400000);
    EXPECT_EQ(recorder.messages.size(), expected.size());
}

TEST_F(SettingsDialogTest, OpenPortLocksTheListsButNotTheDevices) {
    PortSettings port;
    port.TimeRest = 0;
    Show(port, {10, 20, 30}, {true, true, false}, true);
    for (const char* name :
         {"cbNamePort", "cbBaudratePort", "cbDataBitsPort", "cbParityPort", "cbStopBitsPort",
          "cbTimeRestPort", "cbTimeWaitPort", "chbFrameEndByLength"}) {
        EXPECT_FALSE(Find<QWidget>(dialog, name)->isEnabled()) << name;
    }
    EXPECT_FALSE(Find<QWidget>(dialog, "gbBmsService")->isVisible());
    EXPECT_TRUE(Find<QLineEdit>(dialog, "eDcacBoxRs485Addr")->isReadOnly());

    ClickArrow("udDcacBoxRs485Addr", "up");
    EXPECT_EQ(Find<QLineEdit>(dialog, "eDcacBoxRs485Addr")->text(), "21");
    Click(dialog, "btnApply");
    EXPECT_EQ(dialog.result(), TFormSettings::Apply);
    EXPECT_EQ(dialog.addresses(), (std::array<std::uint8_t, 3>{10, 21, 30}));
    EXPECT_EQ(dialog.portSettings().TimeRest, 0);

    Show(PortSettings{}, {10, 21, 30}, {true, true, false}, false);
    EXPECT_TRUE(List("cbNamePort")->isEnabled());
}

TEST_F(SettingsDialogTest, ArrowsClampAndEnableClicksCancelOut) {
    Show(PortSettings{}, {247, 1, 5});
    ClickArrow("udTarvolenRs485Addr", "up");
    ClickArrow("udDcacBoxRs485Addr", "down");
    EXPECT_EQ(Find<QLineEdit>(dialog, "eTarvolenRs485Addr")->text(), "247");
    EXPECT_EQ(Find<QLineEdit>(dialog, "eDcacBoxRs485Addr")->text(), "1");
    ClickArrow("udTarvolenRs485Addr", "down");
    ClickArrow("udDcacBoxRs485Addr", "up");
    ClickArrow("udDcacBoxRs485Addr", "up");

    ClickEnable("chbTarvolen");
    ClickEnable("chbTarvolen");
    ClickEnable("chbDcacBox");
    Click(dialog, "btnApply");
    EXPECT_EQ(dialog.result(), TFormSettings::Apply);
    EXPECT_EQ(dialog.addresses(), (std::array<std::uint8_t, 3>{246, 3, 5}));
    EXPECT_EQ(dialog.toggled(), (std::array<bool, 3>{false, true, false}));
}

TEST_F(SettingsDialogTest, ShowingClearsEveryToggledFlag) {
    Show(PortSettings{}, {1, 2, 3}, {false, false, true});
    ClickEnable("chbTarvolen");
    ClickEnable("chbDcacBox");
    Find<QCheckBox>(dialog, "chbBms")->click();
    Click(dialog, "btnApply");
    EXPECT_EQ(dialog.toggled(), (std::array<bool, 3>{true, true, true}));

    Show(PortSettings{}, {1, 2, 3}, {true, true, false});
    EXPECT_TRUE(Find<QCheckBox>(dialog, "chbTarvolen")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(dialog, "chbBms")->isChecked());
    EXPECT_EQ(dialog.toggled(), (std::array<bool, 3>{false, false, false}));
    Click(dialog, "btnApply");
    EXPECT_EQ(dialog.result(), TFormSettings::Cancel);
}

// ---- password dialog ----

TEST_F(DialogTest, PasswordEntryAndAccessCode) {
    TFormPassword dialog;
    dialog.placeBottomRightAt(QPoint(700, 500));
    dialog.show();
    const QRect frame = dialog.frameGeometry();
    EXPECT_EQ(frame.topLeft() + QPoint(frame.width(), frame.height()), QPoint(700, 500));

    auto* field = Find<QLineEdit>(dialog, "ePassword");
    QTest::keyClicks(field, QString(40, QLatin1Char('x')));
    EXPECT_EQ(field->text().size(), TFormPassword::kMaxLength);
    field->clear();
    QTest::keyClicks(field, "4071926385062719438");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(IsServiceAccessCode(dialog.enteredText()));

    // Cancel keeps the last entry; every showing starts with an empty field.
    dialog.show();
    EXPECT_TRUE(field->text().isEmpty());
    QTest::keyClicks(field, "123");
    Click(dialog, "btnCancel");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.enteredText(), "4071926385062719438");

    dialog.setLettersAllowed(false);
    dialog.show();
    QTest::keyClicks(field, "a1b2");
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, "7");
    Click(dialog, "btnOk");
    EXPECT_EQ(dialog.enteredText(), "17");

    dialog.show();
    QTest::keyClick(field, Qt::Key_Enter);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.enteredText().isEmpty());
    EXPECT_FALSE(IsServiceAccessCode(dialog.enteredText()));
}

TEST(AccessCode, ExactDigitsOnly) {
    EXPECT_TRUE(IsServiceAccessCode("4071926385062719438"));
    EXPECT_TRUE(IsServiceAccessCode(QString("4071926385062719438").toUpper()));
    EXPECT_FALSE(IsServiceAccessCode("407192638506271943"));
    EXPECT_FALSE(IsServiceAccessCode("40719263850627194380"));
    EXPECT_FALSE(IsServiceAccessCode(" 4071926385062719438"));
    EXPECT_FALSE(IsServiceAccessCode(""));
}

// ---- progress dialog ----

TEST_F(DialogTest, ProgressClosesByItselfWithoutError) {
    TFormProcess process;
    EXPECT_FALSE(process.IsShown());
    process.Prepare(0, 12, "Сохранение настроек");
    process.Show();
    process.Update(5, 0, "");
    process.Refresh();
    EXPECT_TRUE(process.IsShown());
    EXPECT_TRUE(process.isVisible());
    EXPECT_EQ(process.height(), 68);
    EXPECT_EQ(process.windowTitle(), "Сохранение настроек");
    auto* bar = Find<QProgressBar>(process, "pbProcess");
    EXPECT_EQ(bar->maximum(), 12);
    EXPECT_EQ(bar->value(), 5);
    EXPECT_FALSE(Find<QWidget>(process, "btnClose")->isVisible());

    process.Update(12, 0, "");
    process.Refresh();
    process.Finish();
    EXPECT_FALSE(process.IsShown());
    EXPECT_FALSE(process.isVisible());
}

TEST_F(DialogTest, ProgressErrorFreezesUntilClosed) {
    TFormProcess process;
    process.Prepare(0, 12, "Сохранение настроек RS-485");
    process.Show();
    process.Update(3, 1, "Ошибка данных");
    process.Refresh();
    process.Update(8, 0, "");
    process.Refresh();
    process.Finish();

    EXPECT_TRUE(process.IsShown());
    EXPECT_TRUE(process.isVisible());
    EXPECT_EQ(process.height(), 100);
    EXPECT_TRUE(Find<QWidget>(process, "btnClose")->isVisible());
    EXPECT_EQ(Find<QLabel>(process, "labProcessError")->text(), "Ошибка данных");
    EXPECT_EQ(Find<QProgressBar>(process, "pbProcess")->value(), 3);

    Click(process, "btnClose");
    EXPECT_FALSE(process.IsShown());
    EXPECT_FALSE(process.isVisible());

    // The next write starts clean.
    process.Prepare(0, 4, "Сохранение настроек");
    process.Show();
    process.Update(2, 0, "");
    process.Refresh();
    EXPECT_EQ(process.height(), 68);
    EXPECT_FALSE(Find<QWidget>(process, "btnClose")->isVisible());
    EXPECT_EQ(Find<QProgressBar>(process, "pbProcess")->value(), 2);
    EXPECT_TRUE(Find<QLabel>(process, "labProcessError")->text().isEmpty());
}

// ---- about box ----

class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    std::vector<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

TEST_F(DialogTest, AboutBoxListsVersionKeysAndMailsSupport) {
    EXPECT_EQ(AboutText({}), "Version info not available");

    const QStringList lines = AboutText(kVersionInfo).split(QLatin1Char('\n'));
    const QStringList expectedKeys{"CompanyName",
                                   "",
                                   "FileDescription",
                                   "FileVersion",
                                   "InternalName",
                                   "LegalCopyright",
                                   "LegalTrademarks",
                                   "OriginalFilename",
                                   "",
                                   "ProductName",
                                   "ProductVersion",
                                   "",
                                   "Comments"};
    ASSERT_GT(lines.size(), expectedKeys.size());
    for (qsizetype i = 0; i < expectedKeys.size(); ++i) {
        EXPECT_EQ(lines[i].section(QLatin1Char('\t'), 0, 0), expectedKeys[i]) << i;
    }
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^FileVersion\t\\d+\\.\\d+\\.\\d+$"))
                    .match(lines[3])
                    .hasMatch())
        << lines[3].toStdString();

    TFormAbout about;
    EXPECT_EQ(about.windowTitle(), "О программе");
    EXPECT_EQ(Find<QPlainTextEdit>(about, "memoAbout")->toPlainText(), AboutText(kVersionInfo));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    about.show();
    Click(about, "btnContactUs");
    QDesktopServices::unsetUrlHandler("mailto");
    ASSERT_EQ(catcher.urls.size(), 1u);
    const QUrl& link = catcher.urls.front();
    EXPECT_EQ(link.scheme(), "mailto");
    EXPECT_TRUE(link.path().contains(QLatin1Char('@')));
    const QUrlQuery query(link);
    EXPECT_EQ(query.queryItemValue("subject"), "Kerimon");
    EXPECT_TRUE(query.hasQueryItem("body"));
    EXPECT_TRUE(query.queryItemValue("body").isEmpty());
}

// ---- traffic monitor ----

class MonitorTest : public DialogTest {
  protected:
    QStringList Lines() const {
        QStringList lines;
        const QTextDocument* document = log->document();
        if (document->isEmpty()) return lines;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            lines.push_back(block.text());
        }
        return lines;
    }
    QColor LineColour(int index) const {
        const QTextBlock block = log->document()->findBlockByNumber(index);
        return block.begin().fragment().charFormat().foreground().color();
    }
    QColor Indicator() {
        return Find<QWidget>(monitor, "shpActionReceiverPort")->palette().color(QPalette::Window);
    }
    void Type(const char* field, const QString& keys) {
        auto* edit = Find<QLineEdit>(monitor, field);
        edit->clear();
        QTest::keyClicks(edit, keys);
    }

    static constexpr std::array<std::uint8_t, 8> kRead{0x01, 0x03, 0x00, 0x00,
                                                       0x00, 0x0A, 0xC5, 0xCD};
    static constexpr std::array<std::uint8_t, 5> kReply{0x01, 0x83, 0x02, 0xC0, 0xF1};
    const QDateTime stamp{QDate(2024, 3, 1), QTime(14, 5, 9, 123)};

    TFormMonitorPort monitor;
    QPlainTextEdit* log = Find<QPlainTextEdit>(monitor, "reMonitorPort");
};

TEST_F(MonitorTest, SwitchShowsOnlyLaterFramesInTheirColours) {
    EXPECT_FALSE(monitor.showsReceived());
    EXPECT_FALSE(monitor.showsSent());
    EXPECT_EQ(Indicator(), QColor(0xC0C0C0));
    monitor.AddSentLine(kRead.data(), kRead.size(), stamp);
    monitor.AddReceivedLine(kReply.data(), kReply.size(), stamp);
    EXPECT_TRUE(Lines().isEmpty());

    Click(monitor, "btnEnableReceiverPort");
    EXPECT_TRUE(monitor.showsReceived());
    EXPECT_TRUE(monitor.showsSent());
    EXPECT_EQ(Indicator(), QColor(0x00FF00));
    monitor.AddSentLine(kRead.data(), kRead.size(), stamp);
    monitor.AddReceivedLine(kReply.data(), kReply.size(), stamp.addMSecs(40));
    EXPECT_EQ(Lines(), QStringList({"tx 14:05.09.123  01 03 00 00 00 0A C5 CD",
                                    "rx 14:05.09.163  01 83 02 C0 F1"}));
    EXPECT_EQ(LineColour(0), QColor(Qt::black));
    EXPECT_EQ(LineColour(1), QColor(0x808080));

    Click(monitor, "btnDisableReceiverPort");
    EXPECT_FALSE(monitor.showsSent());
    EXPECT_EQ(Indicator(), QColor(0xC0C0C0));
    monitor.AddSentLine(kRead.data(), kRead.size(), stamp);
    EXPECT_EQ(Lines().size(), 2);

    Click(monitor, "btnClearMonitorPort");
    EXPECT_TRUE(Lines().isEmpty());
}

TEST_F(MonitorTest, LogKeepsTheLatestLines) {
    Click(monitor, "btnEnableReceiverPort");
    constexpr int kExtra = 10;
    for (int i = 0; i < TFormMonitorPort::kMaxLines + kExtra; ++i) {
        const std::array<std::uint8_t, 2> frame{static_cast<std::uint8_t>(i >> 8),
                                                static_cast<std::uint8_t>(i)};
        monitor.AddSentLine(frame.data(), frame.size(), stamp);
    }
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), TFormMonitorPort::kMaxLines);
    EXPECT_EQ(lines.front(), "tx 14:05.09.123  00 0A");
    EXPECT_EQ(lines.back(), "tx 14:05.09.123  13 91");
}

TEST_F(MonitorTest, HexFieldsTakeOnlyHexDigitsInCapitals) {
    Type("leMaskAddrReceiverPort", "1g");
    EXPECT_EQ(Find<QLineEdit>(monitor, "leMaskAddrReceiverPort")->text(), "1");
    Type("leFilterCmdReceiverPort", "ab");
    EXPECT_EQ(Find<QLineEdit>(monitor, "leFilterCmdReceiverPort")->text(), "AB");
    Type("leMaskCmdReceiverPort", "f-e9");
    EXPECT_EQ(Find<QLineEdit>(monitor, "leMaskCmdReceiverPort")->text(), "FE");
    QTest::keyClick(Find<QLineEdit>(monitor, "leMaskCmdReceiverPort"), Qt::Key_Backspace);
    EXPECT_EQ(Find<QLineEdit>(monitor, "leMaskCmdReceiverPort")->text(), "F");
    EXPECT_EQ(Find<QLineEdit>(monitor, "leFilterAddrReceiverPort")->text(), "00");
}

TEST_F(MonitorTest, MaskAndFilterChooseReceivedFrames) {
    constexpr std::array<std::uint8_t, 2> kOther{0x02, 0x03};
    constexpr std::array<std::uint8_t, 2> kRegular{0x01, 0x03};
    Click(monitor, "btnEnableReceiverPort");
    EXPECT_TRUE(monitor.acceptsReceived(kOther.data(), kOther.size()));
    EXPECT_TRUE(monitor.acceptsReceived(nullptr, 0));

    Type("leMaskAddrReceiverPort", "ff");
    Type("leFilterAddrReceiverPort", "01");
    Click(monitor, "btnSetAddrReceiverPort");
    EXPECT_TRUE(monitor.acceptsReceived(kReply.data(), kReply.size()));
    EXPECT_FALSE(monitor.acceptsReceived(kOther.data(), kOther.size()));
    EXPECT_FALSE(monitor.acceptsReceived(nullptr, 0));
    monitor.AddReceivedLine(kOther.data(), kOther.size(), stamp);
    monitor.AddReceivedLine(kReply.data(), kReply.size(), stamp);
    EXPECT_EQ(Lines().size(), 1);

    // Only the exception bit of the command counts.
    Type("leMaskCmdReceiverPort", "80");
    Type("leFilterCmdReceiverPort", "FF");
    Click(monitor, "btnSetCmdReceiverPort");
    EXPECT_TRUE(monitor.acceptsReceived(kReply.data(), kReply.size()));
    EXPECT_FALSE(monitor.acceptsReceived(kRegular.data(), kRegular.size()));
    EXPECT_FALSE(monitor.acceptsReceived(kReply.data(), 1));

    // Sent frames are never filtered.
    monitor.AddSentLine(kOther.data(), kOther.size(), stamp);
    EXPECT_EQ(Lines().size(), 2);

    Click(monitor, "btnClearAddrReceiverPort");
    EXPECT_EQ(Find<QLineEdit>(monitor, "leMaskAddrReceiverPort")->text(), "00");
    EXPECT_EQ(Find<QLineEdit>(monitor, "leFilterAddrReceiverPort")->text(), "00");
    EXPECT_FALSE(monitor.acceptsReceived(kOther.data(), kOther.size()));
    Click(monitor, "btnClearCmdReceiverPort");
    EXPECT_TRUE(monitor.acceptsReceived(kOther.data(), kOther.size()));
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(MonitorTest, EmptyFieldsAreRefusedAndStoreNothing) {
    constexpr std::array<std::uint8_t, 2> kOther{0x02, 0x03};
    Type("leMaskAddrReceiverPort", "");
    Type("leFilterAddrReceiverPort", "01");
    Click(monitor, "btnSetAddrReceiverPort");
    Type("leMaskAddrReceiverPort", "FF");
    Type("leFilterAddrReceiverPort", "");
    Click(monitor, "btnSetAddrReceiverPort");
    Type("leMaskCmdReceiverPort", "FF");
    Type("leFilterCmdReceiverPort", "");
    Click(monitor, "btnSetCmdReceiverPort");
    EXPECT_TRUE(monitor.acceptsReceived(kOther.data(), kOther.size()));

    ASSERT_EQ(recorder.messages.size(), 3u);
    EXPECT_EQ(recorder.messages[0].text, "Маска не определена");
    EXPECT_EQ(recorder.messages[1].text, "Фильтр не определён");
    EXPECT_EQ(recorder.messages[2].text, "Фильтр не определён");
    for (const Message& message : recorder.messages)
        EXPECT_EQ(message.caption, "Сообщение");
}

}  // namespace
}  // namespace veltrona

#include "dialogs_test.moc"
