#include "shell/form_process.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltrona {
namespace {

constexpr int kWidth = 425;
constexpr int kCreatedHeight = 120;
constexpr int kPlainHeight = 68;
constexpr int kErrorHeight = 100;

}  // namespace

TFormProcess::TFormProcess(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setFixedSize(kWidth, kCreatedHeight);

    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("pbProcess"));
    bar_->setTextVisible(false);
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("labProcessError"));
    close_ = new QPushButton(QStringLiteral("Закрыть"), this);
    close_->setObjectName(QStringLiteral("btnClose"));
    close_->hide();
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(close_);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 6);
    page->addWidget(bar_);
    page->addWidget(error_);
    page->addLayout(buttonRow);
    page->addStretch();
}

void TFormProcess::Prepare(int minimum, int maximum, const QString& caption) {
    state_.minimum = minimum;
    state_.maximum = maximum;
    state_.position = minimum;
    state_.caption = caption;
    state_.errorText.clear();
    state_.errorMark = 0;
}

void TFormProcess::Show() {
    setFixedHeight(kPlainHeight);
    show();
    state_.shown = true;
}

void TFormProcess::Update(int position, int errorMark, const QString& errorText) {
    if (state_.errorMark != 0) return;
    state_.position = position;
    state_.errorMark = errorMark;
    state_.errorText = errorText;
}

void TFormProcess::Refresh() {
    setWindowTitle(state_.caption);
    bar_->setRange(state_.minimum, state_.maximum);
    bar_->setValue(state_.position);
    error_->setText(state_.errorText);
    const bool failed = state_.errorMark != 0;
    close_->setVisible(failed);
    setFixedHeight(failed ? kErrorHeight : kPlainHeight);
}

void TFormProcess::Finish() {
    if (state_.errorMark == 0) close();
}

void TFormProcess::closeEvent(QCloseEvent* event) {
    state_ = State{};
    close_->hide();
    QWidget::closeEvent(event);
}

}  // namespace veltrona
