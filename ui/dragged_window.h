#pragma once

#include <QWidget>

namespace veltrona {

// A top-level window that the left button drags by any free spot of its client area. It has its
// caption, size and name from the start, and closing it only hides it.
class TDraggedWindow : public QWidget {
    Q_OBJECT
  public:
    TDraggedWindow(const char* name, const QString& caption, QSize size, QSize minimum);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// Device windows that also have an extended mode.
class TExtendedWindow : public TDraggedWindow {
    Q_OBJECT
  public:
    using TDraggedWindow::TDraggedWindow;
    void EnterExtendedMode() { extended_ = true; }
    bool extendedMode() const { return extended_; }

  private:
    bool extended_ = false;
};

}  // namespace veltrona
