#pragma once

class QScrollArea;
class QWidget;

namespace veltrona {

// `content` in a frameless scroll area that resizes it: a small window scrolls a page rather
// than squeezing its fields.
QScrollArea* Scrolled(QWidget* content, QWidget* parent);

}  // namespace veltrona
