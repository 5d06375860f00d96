#include "files/atomic_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace veltrona {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        // A full disk shows as an error or as a write that makes no progress.
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced changes nothing already done.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// The file a save replaces: the path itself, or through a symbolic link the regular file it
// names (renaming over the link would replace it). Empty when the save must be refused.
std::filesystem::path SaveTarget(const std::filesystem::path& path) {
    struct stat entry {};
    if (lstat(path.c_str(), &entry) != 0) return path;  // a new file
    std::filesystem::path target = path;
    if (S_ISLNK(entry.st_mode)) {
        std::error_code error;
        target = std::filesystem::canonical(path, error);
        if (error || stat(target.c_str(), &entry) != 0) return {};
    }
    // A device or a FIFO is no settings file; it is never replaced.
    return S_ISREG(entry.st_mode) ? target : std::filesystem::path();
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

bool AtomicSave(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path target = SaveTarget(path);
    if (target.empty()) return false;
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;

    // A replaced file keeps its mode, but never one that keeps its owner from reading it back.
    mode_t mode = 0666 & ~CurrentUmask();
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) mode = (old.st_mode & 07777) | S_IRUSR | S_IWUSR;

    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

}  // namespace veltrona
