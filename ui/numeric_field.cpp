#include "ui/numeric_field.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

#include "link/value_format.h"
#include "ui/message_box.h"

namespace veltrona {

namespace {

// Judges only what an edit inserts, against the text shown before it, so a field showing a
// formatted text ("Не ограничено", a negative value) can still be cleared and typed over.
class TypedFilter : public QValidator {
  public:
    TypedFilter(QLineEdit& edit, const unsigned& decimals)
        : QValidator(&edit), decimals_(decimals) {
        connect(&edit, &QLineEdit::textChanged, this, &TypedFilter::Expect);
    }

    // The field's own text is set through here, so setting it never counts as typing.
    void Expect(const QString& text) const { previous_ = text; }

    State validate(QString& input, int&) const override {
        const qsizetype shorter = std::min(input.size(), previous_.size());
        qsizetype prefix = 0;
        while (prefix < shorter && input[prefix] == previous_[prefix])
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < shorter - prefix &&
               input[input.size() - 1 - suffix] == previous_[previous_.size() - 1 - suffix]) {
            ++suffix;
        }
        const QString inserted = input.mid(prefix, input.size() - prefix - suffix);
        return AcceptsTypedText(inserted.toStdString(), decimals_) ? Acceptable : Invalid;
    }

  private:
    const unsigned& decimals_;
    mutable QString previous_;
};

QToolButton* ArrowButton(const char* name, Qt::ArrowType arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setArrowType(arrow);
    button->setFixedSize(16, 11);
    return button;
}

}  // namespace

TUpDown::TUpDown(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    up_ = ArrowButton("up", Qt::UpArrow, this);
    down_ = ArrowButton("down", Qt::DownArrow, this);
    column->addWidget(up_);
    column->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, &TUpDown::StepUp);
    connect(down_, &QToolButton::clicked, this, &TUpDown::StepDown);
}

void TUpDown::SetLimits(const FieldLimits& limits) {
    limits_ = limits;
}

void TUpDown::SetPosition(std::int32_t position) {
    position_ = position;
}

void TUpDown::StepUp() {
    Step(1);
}

void TUpDown::StepDown() {
    Step(-1);
}

void TUpDown::Step(std::int32_t direction) {
    if (limits_.increment <= 0) return;
    if (direction > 0 ? position_ >= limits_.maximum : position_ <= limits_.minimum) return;
    // Widened, so that a step near the ends of the 32-bit range cannot overflow.
    const std::int64_t moved = std::int64_t{position_} + direction * limits_.increment;
    const std::int64_t next = direction > 0 ? std::min<std::int64_t>(moved, limits_.maximum)
                                            : std::max<std::int64_t>(moved, limits_.minimum);
    position_ = static_cast<std::int32_t>(next);
    emit stepped(position_);
}

TNumericField::TNumericField(const char* edit_name, const char* arrows_name, QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QString::fromLatin1(edit_name));
    edit_->setValidator(new TypedFilter(*edit_, decimals_));
    edit_->installEventFilter(this);
    arrows_ = new TUpDown(QString::fromLatin1(arrows_name), this);
    row->addWidget(edit_);
    row->addWidget(arrows_);
    connect(arrows_, &TUpDown::stepped, this, [this](std::int32_t position) {
        ShowValue();
        emit valueEdited(position);
    });
    ShowValue();
}

void TNumericField::SetDecimals(unsigned decimals) {
    decimals_ = decimals;
    ShowValue();
}

void TNumericField::SetFormatter(Formatter formatter) {
    formatter_ = std::move(formatter);
    ShowValue();
}

void TNumericField::SetTypingAllowed(bool allowed) {
    typing_ = allowed;
    edit_->setReadOnly(!allowed);
}

void TNumericField::SetLimits(const FieldLimits& limits) {
    arrows_->SetLimits(limits);
}

const FieldLimits& TNumericField::limits() const {
    return arrows_->limits();
}

void TNumericField::SetValue(std::int32_t value) {
    arrows_->SetPosition(value);
    ShowValue();
}

std::int32_t TNumericField::value() const {
    return arrows_->position();
}

bool TNumericField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (typing_) TakeTypedText();
            return true;
        }
    } else if (watched == edit_ && event->type() == QEvent::FocusOut) {
        ShowValue();
    }
    return QWidget::eventFilter(watched, event);
}

void TNumericField::TakeTypedText() {
    const std::optional<std::int32_t> typed =
        TypedValue(edit_->text().toStdString(), decimals_, limits());
    if (!typed) {
        ShowMessage(QStringLiteral("Нет данных"), QStringLiteral("Сообщение"), MessageButtons::kOk,
                    this);
        ShowValue();
        return;
    }
    arrows_->SetPosition(*typed);
    ShowValue();
    emit valueEdited(*typed);
}

void TNumericField::ShowValue() {
    const QString text =
        formatter_
            ? formatter_(value())
            : QString::fromStdString(FormatSigned(value(), decimals_, UserDecimalSeparator()));
    static_cast<const TypedFilter*>(edit_->validator())->Expect(text);
    edit_->setText(text);
}

char UserDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point.at(0).unicode() < 0x80 ? point.at(0).toLatin1() : '.';
}

}  // namespace veltrona
