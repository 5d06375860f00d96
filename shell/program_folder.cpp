#include "shell/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace veltrona {
namespace {

constexpr char kSettingsFileName[] = "SettingsGeneral.ini";

std::filesystem::path ToPath(const QString& folder) {
    return std::filesystem::path(QFile::encodeName(folder).toStdString());
}

}  // namespace

std::filesystem::path ProgramFolder() {
    const QString executableFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(executableFolder).isWritable()) return ToPath(executableFolder);

    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dataFolder.isEmpty() || !QDir().mkpath(dataFolder)) return ToPath(executableFolder);
    const QString settings = QDir(dataFolder).filePath(kSettingsFileName);
    if (!QFileInfo::exists(settings)) {
        QFile::copy(QDir(executableFolder).filePath(kSettingsFileName), settings);
        QFile::setPermissions(settings, QFile::ReadOwner | QFile::WriteOwner);
    }
    return ToPath(dataFolder);
}

}  // namespace veltrona
