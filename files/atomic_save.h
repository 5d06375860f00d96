#pragma once

#include <filesystem>
#include <string_view>

namespace veltrona {

// Writes bytes to path through a temporary file in the same folder, fsynced and renamed over
// the target: a crash or a full disk at any point leaves the old file whole. A new file gets
// 0666 less the umask; a replaced one keeps its mode with owner read and write added. A
// symbolic link is saved through to the regular file it names and stays a link; a link to
// anything else, or a path that is no regular file, refuses the save (false).
bool AtomicSave(const std::filesystem::path& path, std::string_view bytes);

}  // namespace veltrona
