#pragma once

#include <filesystem>
#include <string_view>

namespace veltrona {

// Writes bytes to path through a temporary file in the same folder, fsynced and renamed over
// the target: a crash or a full disk at any point leaves the old file whole. A new file gets
// mode 0644, a replaced one keeps its mode.
bool AtomicSave(const std::filesystem::path& path, std::string_view bytes);

}  // namespace veltrona
