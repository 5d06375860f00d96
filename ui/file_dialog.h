#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

class QWidget;

namespace veltrona {

enum class FileDialogKind { kOpen, kSave };

// The file chosen in an open or save dialog that starts in `folder` with one filter, or nullopt
// when the user cancels. The save dialog does not ask about overwriting: the callers ask
// themselves, with the program's own question.
std::optional<std::filesystem::path> ChooseFile(FileDialogKind kind,
                                                const std::filesystem::path& folder,
                                                const QString& filter, QWidget* parent);

// Tests answer the dialogs through a hook (kind, folder, filter -> choice), so none blocks.
using FileDialogHook = std::function<std::optional<std::filesystem::path>(
    FileDialogKind, const std::filesystem::path&, const QString&)>;
void SetFileDialogHook(FileDialogHook hook);

}  // namespace veltrona
