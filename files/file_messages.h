#pragma once

#include <functional>
#include <string_view>

namespace veltrona {

enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo };

// The core never shows a message itself: the GUI passes a sink that shows a modal box, tests
// pass one that records. Texts are UTF-8 with "\r\n" line breaks; the caption may be empty.
using MessageSink = std::function<MessageAnswer(std::string_view text, std::string_view caption,
                                                MessageButtons buttons)>;

inline constexpr std::string_view kCaptionMessage = "Сообщение";
inline constexpr std::string_view kCaptionWarning = "Предупреждение";

}  // namespace veltrona
