#include "ui/dragged_window.h"

#include <QMouseEvent>
#include <QWindow>

namespace veltrona {

TDraggedWindow::TDraggedWindow(const char* name, const QString& caption, QSize size,
                               QSize minimum) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    setMinimumSize(minimum);
    resize(size);
}

void TDraggedWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

}  // namespace veltrona
