#include "link/port_names.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>

namespace veltrona {

namespace fs = std::filesystem;

namespace {

struct ComRange {
    int first_com;
    int last_com;
    std::string_view device_prefix;
};

constexpr ComRange kComRanges[] = {
    {1, 32, "ttyS"},
    {33, 96, "ttyUSB"},
    {97, 160, "ttyACM"},
};

constexpr std::string_view kComPrefix = "COM";
constexpr std::string_view kLinkFolder = "ports";
// A USB adapter's product text sits on the USB device, one or two levels above the tty.
constexpr int kProductSearchLevels = 3;

std::string FixedDeviceName(int com) {
    for (const ComRange& range : kComRanges) {
        if (com >= range.first_com && com <= range.last_com) {
            return std::string(range.device_prefix) + std::to_string(com - range.first_com);
        }
    }
    return {};
}

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) {
        line.pop_back();
    }
    return line;
}

// The links ports/COMn of the program's folder, by number.
std::map<int, fs::path> ComLinks(const fs::path& program_folder) {
    std::map<int, fs::path> links;
    std::error_code ec;
    // Stepped with an error code: a folder changing under us must not throw.
    for (fs::directory_iterator it(program_folder / kLinkFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const int com = ComNumberFromName(name);
        std::error_code type_error;
        if (com != 0 && name == std::string(kComPrefix) + std::to_string(com) &&
            it->is_symlink(type_error)) {
            links.emplace(com, it->path());
        }
    }
    return links;
}

// The sysfs `type` attribute of an 8250-type port, else the driver's answer to TIOCGSERIAL;
// the attribute comes first because opening a port raises DTR and RTS on the line.
std::optional<int> UartType(const fs::path& tty_class_dir, const fs::path& device) {
    const std::string text = ReadFirstLine(tty_class_dir / "type");
    if (!text.empty()) {
        int type = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), type);
        if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
        return type;
    }
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    serial_struct info{};
    const bool answered = ioctl(fd, TIOCGSERIAL, &info) == 0;
    close(fd);
    if (!answered) return std::nullopt;
    return info.type;
}

bool IsRealPort(const std::string& name, const fs::path& sysfs_root, const fs::path& dev_root) {
    std::error_code ec;
    const fs::path class_dir = sysfs_root / "class" / "tty" / name;
    if (!fs::exists(dev_root / name, ec) || !fs::exists(class_dir / "device", ec)) return false;
    // The 8250 driver registers its ports whether or not a UART answers behind them.
    if (name.starts_with("ttyS")) {
        const std::optional<int> type = UartType(class_dir, dev_root / name);
        if (type && *type == PORT_UNKNOWN) return false;
    }
    return true;
}

std::string ProductText(const std::string& name, const fs::path& sysfs_root) {
    std::error_code ec;
    fs::path dir = fs::canonical(sysfs_root / "class" / "tty" / name / "device", ec);
    if (ec) return {};
    for (int level = 0; level < kProductSearchLevels && !dir.empty(); ++level) {
        if (fs::exists(dir / "idVendor", ec)) return ReadFirstLine(dir / "product");
        dir = dir.parent_path();
    }
    return {};
}

std::string Entry(int com, const std::string& device, const std::string& product) {
    std::string text = std::string(kComPrefix) + std::to_string(com) + " (" + device;
    if (!product.empty()) text += ", " + product;
    return text + ")";
}

// A link's target named as under the device root ("pts/3"), else by its file name.
std::string LinkEntry(int com, const fs::path& link, const fs::path& sysfs_root,
                      const fs::path& dev_root) {
    std::error_code target_error;
    std::error_code root_error;
    const fs::path target = fs::canonical(link, target_error);
    if (target_error) return Entry(com, link.filename().string(), {});
    fs::path relative = target.lexically_relative(fs::canonical(dev_root, root_error));
    if (root_error || relative.empty() || *relative.begin() == "..") relative = target.filename();
    const bool direct_child = relative.parent_path().empty();
    return Entry(com, relative.generic_string(),
                 direct_child ? ProductText(relative.string(), sysfs_root) : std::string());
}

}  // namespace

int ComNumberFromName(std::string_view name) {
    if (!name.starts_with(kComPrefix)) return 0;
    int number = 0;
    for (std::size_t i = kComPrefix.size(); i < name.size() && name[i] >= '0' && name[i] <= '9';
         ++i) {
        number = number * 10 + (name[i] - '0');
        if (number > kMaxComNumber) return 0;
    }
    return number;
}

std::string ResolveComPath(int com, const fs::path& program_folder, const fs::path& dev_root) {
    if (com < 1 || com > kMaxComNumber) return {};
    const fs::path link =
        program_folder / kLinkFolder / (std::string(kComPrefix) + std::to_string(com));
    std::error_code ec;
    if (fs::is_symlink(link, ec)) return link.string();
    const std::string name = FixedDeviceName(com);
    return name.empty() ? std::string() : (dev_root / name).string();
}

std::vector<std::string> EnumeratePorts(const fs::path& program_folder, const fs::path& sysfs_root,
                                        const fs::path& dev_root) {
    const std::map<int, fs::path> links = ComLinks(program_folder);
    std::vector<std::string> ports;
    std::error_code ec;
    for (int com = 1; com <= kMaxComNumber; ++com) {
        if (const auto link = links.find(com); link != links.end()) {
            // A link stands for its number even when its target is gone.
            if (fs::exists(link->second, ec)) {
                ports.push_back(LinkEntry(com, link->second, sysfs_root, dev_root));
            }
            continue;
        }
        const std::string name = FixedDeviceName(com);
        if (!name.empty() && IsRealPort(name, sysfs_root, dev_root)) {
            ports.push_back(Entry(com, name, ProductText(name, sysfs_root)));
        }
    }
    return ports;
}

}  // namespace veltrona
