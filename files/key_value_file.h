#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "files/file_messages.h"

namespace veltrona {

enum class ReadStatus { kByte, kEnd, kError };

// Where the line reader takes its bytes from: a file opened read-only or bytes in memory.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual ReadStatus ReadAt(std::uint64_t offset, std::uint8_t& byte) = 0;
};

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    explicit MemorySource(std::string_view bytes)
        : bytes_(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) {}
    // The source only views its bytes: a temporary string would leave it dangling.
    explicit MemorySource(std::string&&) = delete;
    ReadStatus ReadAt(std::uint64_t offset, std::uint8_t& byte) override;

  private:
    std::span<const std::uint8_t> bytes_;
};

class FileSource final : public ByteSource {
  public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Read-only; anything but a regular file is refused.
    bool Open(const std::filesystem::path& path);
    ReadStatus ReadAt(std::uint64_t offset, std::uint8_t& byte) override;

  private:
    int fd_ = -1;
    std::array<std::uint8_t, 4096> chunk_{};
    std::uint64_t chunk_offset_ = 0;
    std::size_t chunk_size_ = 0;
};

// Opens a settings file for reading; on failure shows "Ошибка открытия файла настроек" (empty
// caption) before the caller adds its own message.
bool OpenSettingsFile(FileSource& source, const std::filesystem::path& path,
                      const MessageSink& messages);

struct FileCursor {
    std::uint64_t line_start = 0;  // offset of the line to read next
    std::uint64_t next_line = 0;   // set by ReadLine: just past the line read
};

struct LineInfo {
    std::size_t length = 0;     // bytes of the file that belong to the line, its line ends included
    std::size_t stored = 0;     // bytes kept at the start of the buffer
    std::size_t separator = 0;  // 0 when absent
    std::size_t comment = 0;    // 0 when absent
    bool truncated = false;     // the line's text did not fit the buffer
    bool read_error = false;    // a read failed before the end of the file
};

// Reads the line at cursor.line_start: its text up to the first CR or LF, then the whole run of
// CR and LF after it. Only the last "=" or "\" before the first comment marker ("/" or ";")
// splits; a marker or separator in the first column does not count. Never writes past the
// buffer: a longer text is counted in full but kept only in part, and flagged truncated.
LineInfo ReadLine(ByteSource& source, FileCursor& cursor, std::span<char> buffer);

struct SplitResult {
    std::string_view key;    // trimmed; empty without a separator
    std::string_view value;  // trimmed, up to the comment marker
    std::string_view whole;  // the whole line trimmed, for section names and titles
};

// A truncated line gives nothing: its key or value may lie in the part that was not kept.
SplitResult SplitLine(std::string_view stored, const LineInfo& info);

// Trims bytes up to and including the space at both ends (line ends, tabs, padding).
std::string_view TrimSpace(std::string_view text);

inline constexpr std::size_t kLineBufferSize = 256;

// Consecutive lines of one source, each split.
class LineReader {
  public:
    explicit LineReader(ByteSource& source) : source_(source) {}
    // False at the end of the file or after a read error; a read error ends reading for good.
    bool Next();
    const SplitResult& Line() const { return line_; }
    bool Failed() const { return failed_; }

  private:
    ByteSource& source_;
    FileCursor cursor_;
    std::array<char, kLineBufferSize> buffer_{};
    SplitResult line_;
    bool failed_ = false;
};

// Strict decimal integer: optional sign and digits, nothing else; false for anything that is
// not one or that leaves the range of a 64-bit integer.
bool ParseDecimal(std::string_view text, std::int64_t& value);

// Firmware listing line: 8 upper-case hex digits of the address, two spaces, then each byte as
// two upper-case hex digits and a space.
std::string HexDumpLine(std::uint32_t address, std::span<const std::uint8_t> bytes);

// Line patterns of the files the program writes; widths count CP1251 bytes.
inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kSeparator = "=";
inline constexpr std::string_view kCommentMarker = "//";
std::string PadRight(std::string_view text, std::size_t width);
std::string PadLeft(std::string_view text, std::size_t width);

}  // namespace veltrona
