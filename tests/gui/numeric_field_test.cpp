#include "ui/numeric_field.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

// A two-decimal field 0,00..5,00 in steps of 0,10 holding 1,20, shown with a decimal comma.
class NumericFieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        field_.SetDecimals(2);
        field_.SetLimits({0, 500, 10});
        field_.SetValue(120);
        field_.show();
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    QLineEdit& Edit() { return *Find<QLineEdit>(field_, "eField"); }
    void Type(const QString& keys, Qt::Key end = Qt::Key_unknown) {
        Edit().selectAll();
        QTest::keyClicks(&Edit(), keys);
        if (end != Qt::Key_unknown) QTest::keyClick(&Edit(), end);
    }
    void Click(const char* button, int times) {
        for (int i = 0; i < times; ++i) {
            QTest::mouseClick(Find<QToolButton>(*field_.arrows(), button), Qt::LeftButton);
        }
    }

    TNumericField field_{"eField", "udField"};
    QSignalSpy edited_{&field_, &TNumericField::valueEdited};
    MessageRecorder messages_{MessageAnswer::kOk};
};

TEST_F(NumericFieldTest, TypingAndPastingPassTheFilter) {
    Type("1a-2,5");
    QGuiApplication::clipboard()->setText("3b");
    Edit().paste();
    QGuiApplication::clipboard()->setText("3");
    Edit().paste();
    EXPECT_EQ(Edit().text(), "12,53");
    // A formatted text can be shortened, never extended by a refused key.
    field_.SetFormatter([](std::int32_t value) { return "-" + QString::number(value); });
    QTest::keyClicks(&Edit(), "\b-x7");
    EXPECT_EQ(Edit().text(), "-127");
    EXPECT_EQ(edited_.count(), 0);
}

TEST_F(NumericFieldTest, EnterStoresAndEmptyOrLeftTextComesBack) {
    Type("2,37", Qt::Key_Return);
    Type("4.1", Qt::Key_Enter);
    EXPECT_EQ(field_.arrows()->position(), 410);
    EXPECT_EQ(Edit().text(), "4,10");
    ASSERT_EQ(edited_.count(), 2);
    EXPECT_EQ(edited_[0][0].toInt(), 230);
    EXPECT_TRUE(messages_.messages.empty());
    Type("\b", Qt::Key_Return);
    ASSERT_EQ(messages_.Count("Нет данных"), 1);
    EXPECT_EQ(messages_.messages[0].caption, "Сообщение");
    EXPECT_EQ(Edit().text(), "4,10");
    Type("3");
    QFocusEvent lost(QEvent::FocusOut);
    QCoreApplication::sendEvent(&Edit(), &lost);
    EXPECT_EQ(Edit().text(), "4,10");
    EXPECT_EQ(field_.value(), 410);
    EXPECT_EQ(edited_.count(), 2);
}

TEST_F(NumericFieldTest, ArrowsStepWithinTheBounds) {
    field_.SetValue(480);
    Click("up", 3);
    EXPECT_EQ(Edit().text(), "5,00");
    field_.SetValue(15);
    Click("down", 3);
    EXPECT_EQ(field_.value(), 0);
    ASSERT_EQ(edited_.count(), 4);
    EXPECT_EQ(edited_[1][0].toInt(), 500);
    EXPECT_EQ(edited_[3][0].toInt(), 0);
    field_.SetLimits({0, 500, 0});
    Click("up", 1);
    EXPECT_EQ(edited_.count(), 4);
}

TEST_F(NumericFieldTest, ArrowsOnlyFieldTakesNoTyping) {
    field_.SetTypingAllowed(false);
    Type("3", Qt::Key_Return);
    EXPECT_EQ(Edit().text(), "1,20");
    Click("up", 1);
    EXPECT_EQ(field_.value(), 130);
    EXPECT_EQ(edited_.count(), 1);
}

}  // namespace
}  // namespace veltrona
