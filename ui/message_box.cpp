#include "ui/message_box.h"

#include <QMessageBox>
#include <QPushButton>

namespace veltrona {
namespace {

MessageHook& Hook() {
    static MessageHook hook;
    return hook;
}

}  // namespace

void SetMessageHook(MessageHook hook) {
    Hook() = std::move(hook);
}

MessageAnswer ShowMessage(const QString& text, const QString& caption, MessageButtons buttons,
                          QWidget* parent) {
    if (Hook()) return Hook()(text, caption, buttons);
    QMessageBox box(parent);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(caption);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (buttons == MessageButtons::kOk) {
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.exec();
        return MessageAnswer::kOk;
    }
    QPushButton* yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
    box.exec();
    return box.clickedButton() == yes ? MessageAnswer::kYes : MessageAnswer::kNo;
}

MessageSink BoxMessages(QWidget* parent) {
    return [parent](std::string_view text, std::string_view caption, MessageButtons buttons) {
        return ShowMessage(
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
            QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())), buttons,
            parent);
    };
}

}  // namespace veltrona
