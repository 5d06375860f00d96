#include "ui/file_dialog.h"

#include <QFileDialog>

namespace veltrona {
namespace {

FileDialogHook& Hook() {
    static FileDialogHook hook;
    return hook;
}

}  // namespace

void SetFileDialogHook(FileDialogHook hook) {
    Hook() = std::move(hook);
}

std::optional<std::filesystem::path> ChooseFile(FileDialogKind kind,
                                                const std::filesystem::path& folder,
                                                const QString& filter, QWidget* parent) {
    if (Hook()) return Hook()(kind, folder, filter);
    const QString start = QString::fromStdString(folder.string());
    const QString chosen =
        kind == FileDialogKind::kOpen
            ? QFileDialog::getOpenFileName(parent, QString(), start, filter)
            : QFileDialog::getSaveFileName(parent, QString(), start, filter, nullptr,
                                           QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return std::nullopt;
    return std::filesystem::path(chosen.toStdString());
}

}  // namespace veltrona
