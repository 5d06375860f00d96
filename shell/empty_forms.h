#pragma once

#include <QDialog>
#include <QWidget>

namespace veltrona {

// Windows whose contents come later: each has its caption, size and name already, and closing
// one only hides it.

// A top-level window that the left button drags by any free spot of its client area.
class TDraggedWindow : public QWidget {
    Q_OBJECT
  public:
    TDraggedWindow(const char* name, const QString& caption, QSize size, QSize minimum);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// The maker's solar charger: a window with no device behind it.
class TFormChrgSun : public TDraggedWindow {
    Q_OBJECT
  public:
    TFormChrgSun();
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

class TFormDcacBox : public TExtendedWindow {
    Q_OBJECT
  public:
    TFormDcacBox();
};

class TFormBootLoader : public TExtendedWindow {
    Q_OBJECT
  public:
    TFormBootLoader();
};

class TFormSku : public TDraggedWindow {
    Q_OBJECT
  public:
    TFormSku();
};

class TFormStat : public TDraggedWindow {
    Q_OBJECT
  public:
    TFormStat();
};

// The statistics window's modal channel chooser.
class TFormEnableStat : public QDialog {
    Q_OBJECT
  public:
    TFormEnableStat();
};

}  // namespace veltrona
