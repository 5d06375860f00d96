#pragma once

#include <QDialog>

#include "ui/dragged_window.h"

namespace veltrona {

// Windows whose contents come later.

// The maker's solar charger: a window with no device behind it.
class TFormChrgSun : public TDraggedWindow {
    Q_OBJECT
  public:
    TFormChrgSun();
};

class TFormBootLoader : public TExtendedWindow {
    Q_OBJECT
  public:
    TFormBootLoader();
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
