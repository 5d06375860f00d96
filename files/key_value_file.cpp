#include "files/key_value_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>

namespace veltrona {

namespace {

constexpr std::uint8_t kCr = 13;
constexpr std::uint8_t kLf = 10;

bool IsSeparator(std::uint8_t byte) {
    return byte == '=' || byte == '\\';
}
bool IsCommentMarker(std::uint8_t byte) {
    return byte == '/' || byte == ';';
}

}  // namespace

ReadStatus MemorySource::ReadAt(std::uint64_t offset, std::uint8_t& byte) {
    if (offset >= bytes_.size()) return ReadStatus::kEnd;
    byte = bytes_[offset];
    return ReadStatus::kByte;
}

FileSource::~FileSource() {
    if (fd_ >= 0) close(fd_);
}

bool FileSource::Open(const std::filesystem::path& path) {
    if (fd_ >= 0) close(fd_);
    chunk_size_ = 0;
    // Non-blocking so that a FIFO in the file's place cannot hang the open.
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return false;
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

ReadStatus FileSource::ReadAt(std::uint64_t offset, std::uint8_t& byte) {
    if (fd_ < 0) return ReadStatus::kError;
    if (offset < chunk_offset_ || offset >= chunk_offset_ + chunk_size_) {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            return ReadStatus::kError;
        }
        ssize_t got = 0;
        do {
            got = pread(fd_, chunk_.data(), chunk_.size(), static_cast<off_t>(offset));
        } while (got < 0 && errno == EINTR);
        chunk_size_ = 0;
        if (got < 0) return ReadStatus::kError;
        if (got == 0) return ReadStatus::kEnd;
        chunk_offset_ = offset;
        chunk_size_ = static_cast<std::size_t>(got);
    }
    byte = chunk_[offset - chunk_offset_];
    return ReadStatus::kByte;
}

bool OpenSettingsFile(FileSource& source, const std::filesystem::path& path,
                      const MessageSink& messages) {
    if (source.Open(path)) return true;
    messages("Ошибка открытия файла настроек", "", MessageButtons::kOk);
    return false;
}

LineInfo ReadLine(ByteSource& source, FileCursor& cursor, std::span<char> buffer) {
    LineInfo info;
    bool end_seen = false;
    bool comment_seen = false;
    for (;;) {
        std::uint8_t byte = 0;
        const ReadStatus status = source.ReadAt(cursor.line_start + info.length, byte);
        if (status == ReadStatus::kEnd) break;
        if (status == ReadStatus::kError) {
            info.read_error = true;
            break;
        }
        const std::size_t p = info.length;
        if (byte == kCr || byte == kLf) {
            end_seen = true;
        } else if (end_seen) {
            break;
        } else {
            if (p >= buffer.size()) info.truncated = true;
            if (IsSeparator(byte) && info.comment == 0) info.separator = p;
            if (IsCommentMarker(byte) && !comment_seen) {
                comment_seen = true;
                info.comment = p;
            }
        }
        if (p < buffer.size()) {
            buffer[p] = static_cast<char>(byte);
            info.stored = p + 1;
        }
        ++info.length;
    }
    cursor.next_line = cursor.line_start + info.length;
    return info;
}

std::string_view TrimSpace(std::string_view text) {
    const auto is_space = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && is_space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_space(text.back()))
        text.remove_suffix(1);
    return text;
}

SplitResult SplitLine(std::string_view stored, const LineInfo& info) {
    if (info.truncated) return {};
    stored = stored.substr(0, info.stored);
    SplitResult result;
    result.whole = TrimSpace(stored);
    if (info.separator == 0 || info.separator >= stored.size()) return result;
    result.key = TrimSpace(stored.substr(0, info.separator));
    const std::size_t begin = info.separator + 1;
    const std::size_t end = info.comment != 0 ? info.comment : stored.size();
    if (end > begin) result.value = TrimSpace(stored.substr(begin, end - begin));
    return result;
}

bool LineReader::Next() {
    if (failed_) return false;
    cursor_.line_start = cursor_.next_line;
    const LineInfo info = ReadLine(source_, cursor_, buffer_);
    if (info.read_error) {
        failed_ = true;
        return false;
    }
    if (info.length == 0) return false;
    line_ = SplitLine(std::string_view(buffer_.data(), buffer_.size()), info);
    return true;
}

bool ParseDecimal(std::string_view text, std::int64_t& value) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    // Accumulated negatively so that the most negative value fits too.
    std::int64_t result = 0;
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const int digit = c - '0';
        if (result < (kMin + digit) / 10) return false;
        result = result * 10 - digit;
    }
    if (!negative) {
        if (result == kMin) return false;
        result = -result;
    }
    value = result;
    return true;
}

std::string HexDumpLine(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    char piece[16];
    std::snprintf(piece, sizeof piece, "%08X  ", static_cast<unsigned>(address));
    std::string line = piece;
    for (const std::uint8_t byte : bytes) {
        std::snprintf(piece, sizeof piece, "%02X ", static_cast<unsigned>(byte));
        line += piece;
    }
    return line;
}

std::string PadRight(std::string_view text, std::size_t width) {
    std::string out(text);
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

std::string PadLeft(std::string_view text, std::size_t width) {
    std::string out;
    if (text.size() < width) out.assign(width - text.size(), ' ');
    out += text;
    return out;
}

}  // namespace veltrona
