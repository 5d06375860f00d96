#pragma once

#include <QString>

class QAction;
class QLabel;
class QPixmap;

namespace veltrona {

// The picture resource file, looked for beside the executable.
inline constexpr char kPictureFileName[] = "veltrona-images.rcc";

// Pictures are taken by name from the resource file, which is opened for each call and closed
// again, so a file put in place while the program runs is used. A missing file or name leaves
// the picture as it was and gives false.
bool LoadPicture(const QString& name, QPixmap& picture);
bool SetPicture(QLabel& label, const QString& name);
bool SetPicture(QAction& action, const QString& name);

}  // namespace veltrona
