#include "ui/images.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QResource>

namespace veltrona {

bool LoadPicture(const QString& name, QPixmap& picture) {
    const QString file = QDir(QCoreApplication::applicationDirPath()).filePath(kPictureFileName);
    if (name.isEmpty() || !QFileInfo::exists(file) || !QResource::registerResource(file)) {
        return false;
    }
    QPixmap loaded;
    const bool found = loaded.load(QStringLiteral(":/pictures/") + name);
    QResource::unregisterResource(file);
    if (found) picture = loaded;
    return found;
}

bool SetPicture(QLabel& label, const QString& name) {
    QPixmap picture;
    if (!LoadPicture(name, picture)) return false;
    label.setPixmap(picture);
    return true;
}

bool SetPicture(QAction& action, const QString& name) {
    QPixmap picture;
    if (!LoadPicture(name, picture)) return false;
    action.setIcon(QIcon(picture));
    return true;
}

}  // namespace veltrona
