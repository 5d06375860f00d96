#include "devices/charger/charger_error_widget.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace veltrona {

ChargerErrorPage::ChargerErrorPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlErrorStatus"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("reDeviceErrorStatus"));
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Courier New"), 9);
    font.setStyleHint(QFont::TypeWriter);
    log_->setFont(font);
    column->addWidget(log_);
}

void ChargerErrorPage::AppendLines(std::span<const std::string> lines) {
    if (lines.empty()) return;
    for (const std::string& line : lines)
        log_->appendPlainText(QString::fromStdString(line));
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

}  // namespace veltrona
