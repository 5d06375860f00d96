#pragma once

#include <QString>
#include <functional>

#include "files/file_messages.h"

class QWidget;

namespace veltrona {

// Every modal message of the program goes through here: text, caption and buttons, no icon,
// "\r\n" shown as a line break.
MessageAnswer ShowMessage(const QString& text, const QString& caption,
                          MessageButtons buttons = MessageButtons::kOk, QWidget* parent = nullptr);

// A sink for the core's messages that shows them here.
MessageSink BoxMessages(QWidget* parent);

// Tests install a hook that records each message and gives its answer, so no box ever blocks.
using MessageHook =
    std::function<MessageAnswer(const QString& text, const QString& caption, MessageButtons)>;
void SetMessageHook(MessageHook hook);

}  // namespace veltrona
