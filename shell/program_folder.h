#pragma once

#include <filesystem>

namespace veltrona {

// The folder of the program's own files: the executable's folder, or the per-user data folder
// when the executable's folder cannot be written (an installed program). In the latter case a
// default settings file shipped beside the executable is copied over on first use.
std::filesystem::path ProgramFolder();

}  // namespace veltrona
