#include "shell/form_password.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace veltrona {
namespace {

constexpr char kServiceAccessCode[] = "4071926385062719438";

}  // namespace

TFormPassword::TFormPassword(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setFixedSize(190, 120);

    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("ePassword"));
    field_->setMaxLength(kMaxLength);
    digitsOnly_ =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOk"));
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter is handled by the field alone, so it never reaches a default button twice.
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);

    const auto take = [this] {
        entered_ = field_->text();
        accept();
    };
    connect(field_, &QLineEdit::returnPressed, this, take);
    connect(ok, &QPushButton::clicked, this, take);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* page = new QVBoxLayout(this);
    page->addWidget(new QLabel(QStringLiteral("Введите пароль"), this));
    page->addWidget(field_);
    page->addLayout(buttons);
}

void TFormPassword::placeBottomRightAt(QPoint globalPoint) {
    corner_ = globalPoint;
    placed_ = true;
}

void TFormPassword::setLettersAllowed(bool allowed) {
    field_->setValidator(allowed ? nullptr : digitsOnly_);
}

void TFormPassword::showEvent(QShowEvent* event) {
    if (placed_) move(corner_ - QPoint(frameGeometry().width(), frameGeometry().height()));
    field_->clear();
    field_->setFocus();
    QDialog::showEvent(event);
}

bool IsServiceAccessCode(const QString& text) {
    return text.compare(QLatin1String(kServiceAccessCode), Qt::CaseInsensitive) == 0;
}

}  // namespace veltrona
