#include "shell/preferences.h"

#include <QFile>
#include <QSettings>

namespace veltrona {
namespace {

const QString kFrameEndByLength = QStringLiteral("Link/FrameEndByLength");

QString FilePath(const std::filesystem::path& folder) {
    return QFile::decodeName((folder / "veltrona.ini").c_str());
}

}  // namespace

Preferences LoadPreferences(const std::filesystem::path& folder) {
    const QSettings file(FilePath(folder), QSettings::IniFormat);
    Preferences preferences;
    preferences.frame_end_by_length = file.value(kFrameEndByLength, false).toBool();
    return preferences;
}

bool SavePreferences(const std::filesystem::path& folder, const Preferences& preferences) {
    QSettings file(FilePath(folder), QSettings::IniFormat);
    file.setValue(kFrameEndByLength, preferences.frame_end_by_length);
    file.sync();
    return file.status() == QSettings::NoError;
}

}  // namespace veltrona
