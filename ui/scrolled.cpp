#include "ui/scrolled.h"

#include <QScrollArea>

namespace veltrona {

QScrollArea* Scrolled(QWidget* content, QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);
    return scroll;
}

}  // namespace veltrona
