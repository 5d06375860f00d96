#include "files/key_value_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/atomic_save.h"
#include "files/cp1251.h"
#include "files/cp1251_names.h"

namespace veltrona {
namespace {

struct Read {
    LineInfo info;
    std::string key;
    std::string value;
    std::string whole;
};

Read ReadAt(std::string_view text, std::uint64_t offset, std::uint64_t& next) {
    MemorySource source(text);
    FileCursor cursor{offset, 0};
    std::array<char, kLineBufferSize> buffer{};
    Read r;
    r.info = ReadLine(source, cursor, buffer);
    const SplitResult split = SplitLine(std::string_view(buffer.data(), buffer.size()), r.info);
    r.key = split.key;
    r.value = split.value;
    r.whole = split.whole;
    next = cursor.next_line;
    return r;
}

TEST(LineReader, LineEndsBelongToTheLineBefore) {
    std::uint64_t next = 0;
    const Read r = ReadAt("Count=3\r\n\r\nNext", 0, next);
    EXPECT_EQ(r.info.length, 11u);
    EXPECT_EQ(next, 11u);
    EXPECT_EQ(r.key, "Count");
    EXPECT_EQ(r.value, "3");
    const Read last = ReadAt("Count=3\r\n\r\nNext", next, next);
    EXPECT_EQ(last.info.length, 4u);
    EXPECT_EQ(last.whole, "Next");
    EXPECT_EQ(next, 15u);
}

TEST(LineReader, SplitsOnLastSeparatorBeforeComment) {
    std::uint64_t next = 0;
    Read r = ReadAt("Parity = EVEN // NONE ODD EVEN\r\n", 0, next);
    EXPECT_EQ(r.info.separator, 7u);
    EXPECT_EQ(r.info.comment, 14u);
    EXPECT_EQ(r.key, "Parity");
    EXPECT_EQ(r.value, "EVEN");

    r = ReadAt("a=b=c\r\n", 0, next);
    EXPECT_EQ(r.info.separator, 3u);
    EXPECT_EQ(r.key, "a=b");
    EXPECT_EQ(r.value, "c");

    // A separator inside the comment does not count.
    r = ReadAt("Key=1 // x=y\\z\r\n", 0, next);
    EXPECT_EQ(r.key, "Key");
    EXPECT_EQ(r.value, "1");

    r = ReadAt("Address =//3\r\n", 0, next);
    EXPECT_EQ(r.key, "Address");
    EXPECT_EQ(r.value, "");
}

TEST(LineReader, FirstColumnMarkersAndCommentBeforeSeparator) {
    std::uint64_t next = 0;
    Read r = ReadAt("// SupportDevices\r\n", 0, next);
    EXPECT_EQ(r.info.comment, 0u);
    EXPECT_EQ(r.key, "");
    EXPECT_EQ(r.whole, "// SupportDevices");

    r = ReadAt("ab;cd=ef\r\n", 0, next);
    EXPECT_EQ(r.info.comment, 2u);
    EXPECT_EQ(r.key, "");
    EXPECT_EQ(r.value, "");

    // A position list whose comment precedes its separator gives an empty value.
    LineInfo info{.length = 6, .stored = 6, .separator = 4, .comment = 1};
    const SplitResult split = SplitLine("ab;c=d", info);
    EXPECT_EQ(split.key, "ab;c");
    EXPECT_EQ(split.value, "");
}

TEST(LineReader, NeverWritesPastTheBuffer) {
    const std::string text = std::string(1000, 'k') + "=1" + std::string(5000, '\n') + "Next";
    MemorySource source(text);
    std::array<char, 40> storage{};
    storage.fill('#');
    FileCursor cursor;
    const LineInfo info = ReadLine(source, cursor, std::span<char>(storage.data(), 32));
    EXPECT_EQ(info.length, 6002u);
    EXPECT_EQ(cursor.next_line, 6002u);
    EXPECT_EQ(info.stored, 32u);
    EXPECT_TRUE(info.truncated);
    EXPECT_EQ(std::string(storage.begin() + 32, storage.end()), std::string(8, '#'));
    EXPECT_EQ(SplitLine(std::string_view(storage.data(), 32), info).key, "");

    // A long run of line ends after a short text is not a truncation.
    std::uint64_t next = 0;
    const Read r = ReadAt("Name=5" + std::string(3000, '\r'), 0, next);
    EXPECT_FALSE(r.info.truncated);
    EXPECT_EQ(r.value, "5");
    EXPECT_EQ(next, 3006u);
}

// Fails every read from a given offset on, as a bad sector would.
class FailingSource final : public ByteSource {
  public:
    FailingSource(std::string text, std::uint64_t fail_at)
        : text_(std::move(text)), fail_at_(fail_at) {}
    ReadStatus ReadAt(std::uint64_t offset, std::uint8_t& byte) override {
        if (offset >= fail_at_) return ReadStatus::kError;
        if (offset >= text_.size()) return ReadStatus::kEnd;
        byte = static_cast<std::uint8_t>(text_[offset]);
        return ReadStatus::kByte;
    }

  private:
    std::string text_;
    std::uint64_t fail_at_;
};

TEST(LineReader, ReadErrorEndsReading) {
    FailingSource source("a=1\r\nb=2\r\nc=3\r\n", 7);
    LineReader lines(source);
    ASSERT_TRUE(lines.Next());
    EXPECT_EQ(lines.Line().key, "a");
    EXPECT_FALSE(lines.Next());
    EXPECT_TRUE(lines.Failed());
    EXPECT_FALSE(lines.Next());
}

TEST(ParseDecimal, StrictAndWithoutOverflow) {
    std::int64_t v = 0;
    EXPECT_TRUE(ParseDecimal("-9223372036854775808", v));
    EXPECT_EQ(v, INT64_MIN);
    EXPECT_TRUE(ParseDecimal("+9223372036854775807", v));
    EXPECT_EQ(v, INT64_MAX);
    EXPECT_FALSE(ParseDecimal("9223372036854775808", v));
    EXPECT_FALSE(ParseDecimal("-9223372036854775809", v));
    for (const char* bad : {"", "-", "12a", "0x10", " 1", "1 2"}) {
        EXPECT_FALSE(ParseDecimal(bad, v)) << bad;
    }
}

TEST(HexDump, AddressAndBytes) {
    const std::array<std::uint8_t, 2> bytes{0x01, 0xFF};
    EXPECT_EQ(HexDumpLine(0x1A2B, bytes), "00001A2B  01 FF ");
    EXPECT_EQ(HexDumpLine(0xDEADBEEF, {}), "DEADBEEF  ");
}

TEST(Cp1251, ConvertsAndReplaces) {
    EXPECT_EQ(Utf8ToCp1251("Ёж-ТЛ"), "\xA8\xE6-\xD2\xCB");
    EXPECT_EQ(Cp1251ToUtf8("\xA8\xE6-\xD2\xCB"), "Ёж-ТЛ");
    // One '?' per character the code page lacks, and per malformed byte.
    EXPECT_EQ(Utf8ToCp1251("a中b😀c"), "a?b?c");
    EXPECT_EQ(Utf8ToCp1251("a\xD0z\xFF"), "a?z?");
    EXPECT_EQ(Cp1251ToUtf8("x\x98y"), "x?y");
    EXPECT_TRUE(SameTextCp1251(Utf8ToCp1251("Настройки Ёлки tl_7150").value(),
                               Utf8ToCp1251("НАСТРОЙКИ ёЛКИ TL_7150").value()));
    EXPECT_FALSE(SameTextCp1251(Utf8ToCp1251("Е").value(), Utf8ToCp1251("Ё").value()));

    // Without a converter nothing converts, rather than every character becoming '?'.
    const char* const code_page = cp1251_names::code_page;
    cp1251_names::code_page = "NO-SUCH-CODE-PAGE";
    EXPECT_EQ(Utf8ToCp1251("Ёж"), std::nullopt);
    EXPECT_EQ(Cp1251ToUtf8("\xA8\xE6"), std::nullopt);
    cp1251_names::code_page = code_page;
}

class TempFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvfXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    static std::string Contents(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder_),
                                                      std::filesystem::directory_iterator()));
    }
    std::filesystem::path folder_;
};

TEST_F(TempFolder, AtomicSaveReplacesAndKeepsMode) {
    const auto path = folder_ / "a.ini";
    ASSERT_TRUE(AtomicSave(path, std::string(300, 'x')));
    chmod(path.c_str(), 0600);
    ASSERT_TRUE(AtomicSave(path, "short\r\n"));
    EXPECT_EQ(Contents(path), "short\r\n");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(EntryCount(), 1u);
    EXPECT_FALSE(AtomicSave(folder_ / "missing" / "a.ini", "x"));
}

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 01000;
}

TEST_F(TempFolder, AtomicSaveModes) {
    const mode_t saved_mask = umask(027);
    const auto fresh = folder_ / "new.ini";
    ASSERT_TRUE(AtomicSave(fresh, "x"));
    EXPECT_EQ(ModeOf(fresh), 0640u) << "0666 less the umask";
    umask(saved_mask);
    // A replaced file keeps its bits, its owner always able to read and write it.
    const std::pair<mode_t, mode_t> kept[] = {
        {0000, 0600}, {0444, 0644}, {0640, 0640}, {0755, 0755}};
    for (const auto& [before, after] : kept) {
        chmod(fresh.c_str(), before);
        ASSERT_TRUE(AtomicSave(fresh, "y"));
        EXPECT_EQ(ModeOf(fresh), after) << std::oct << before;
    }
}

TEST_F(TempFolder, AtomicSaveThroughALinkToARegularFileOnly) {
    const auto real = folder_ / "real.ini";
    ASSERT_TRUE(AtomicSave(real, "old"));
    const auto link = folder_ / "link.ini";
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(AtomicSave(link, "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Contents(real), "new");

    const auto fifo = folder_ / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto to_fifo = folder_ / "to_fifo.ini";
    std::filesystem::create_symlink(fifo, to_fifo);
    const auto dangling = folder_ / "dangling.ini";
    std::filesystem::create_symlink(folder_ / "gone", dangling);
    for (const auto& refused : {to_fifo, dangling, fifo}) {
        EXPECT_FALSE(AtomicSave(refused, "x")) << refused;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(to_fifo));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "gone"));
    EXPECT_EQ(EntryCount(), 5u) << "no temporary file left";
}

TEST_F(TempFolder, FullDiskLeavesOldFileWhole) {
    const auto path = folder_ / "a.ini";
    ASSERT_TRUE(AtomicSave(path, "old contents\r\n"));
    // A file-size limit stands in for a full disk: the write fails part way.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = AtomicSave(path, std::string(5000, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(Contents(path), "old contents\r\n");
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(TempFolder, FileSourceReadsRegularFilesOnly) {
    const auto path = folder_ / "a.ini";
    const std::string text = std::string(5000, 'z') + "=1\r\nKey=Value\r\n";
    ASSERT_TRUE(AtomicSave(path, text));
    FileSource source;
    ASSERT_TRUE(source.Open(path));
    LineReader lines(source);
    ASSERT_TRUE(lines.Next());
    ASSERT_TRUE(lines.Next());
    EXPECT_EQ(lines.Line().value, "Value");
    EXPECT_FALSE(lines.Next());
    EXPECT_FALSE(lines.Failed());

    EXPECT_FALSE(source.Open(folder_));
    const auto fifo = folder_ / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(source.Open(fifo));
}

}  // namespace
}  // namespace veltrona
