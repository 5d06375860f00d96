#include "files/cp1251.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <utility>

#include "files/cp1251_names.h"

namespace veltrona {

const char* cp1251_names::code_page = "CP1251";

namespace {

constexpr char kReplacement = '?';

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; stops at the first byte it cannot convert and returns the
    // number of input bytes consumed.
    std::size_t Run(std::string_view in, std::string& out, std::size_t out_room) {
        if (!Valid() || in.empty()) return 0;
        char* src = const_cast<char*>(in.data());
        std::size_t src_left = in.size();
        const std::size_t start = out.size();
        out.resize(start + out_room);
        char* dst = out.data() + start;
        std::size_t dst_left = out_room;
        iconv(cd_, &src, &src_left, &dst, &dst_left);
        out.resize(out.size() - dst_left);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return in.size() - src_left;
    }

  private:
    iconv_t cd_;
};

// Length of the well-formed UTF-8 sequence at the start of s, or 1 when it is malformed.
std::size_t Utf8SequenceLength(std::string_view s) {
    const auto lead = static_cast<unsigned char>(s[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (length > s.size()) return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

template <typename SkipLength>
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   std::size_t growth, SkipLength skip_length) {
    Converter converter(to, from);
    if (!converter.Valid()) return std::nullopt;
    std::string out;
    out.reserve(in.size() * growth);
    while (!in.empty()) {
        in.remove_prefix(converter.Run(in, out, in.size() * growth));
        if (in.empty()) break;
        out.push_back(kReplacement);
        in.remove_prefix(skip_length(in));
    }
    return out;
}

constexpr std::array<std::pair<unsigned char, unsigned char>, 15> kCyrillicCasePairs{{
    {0x80, 0x90},  // Ђ ђ
    {0x81, 0x83},  // Ѓ ѓ
    {0x8A, 0x9A},  // Љ љ
    {0x8C, 0x9C},  // Њ њ
    {0x8D, 0x9D},  // Ќ ќ
    {0x8E, 0x9E},  // Ћ ћ
    {0x8F, 0x9F},  // Џ џ
    {0xA1, 0xA2},  // Ў ў
    {0xA3, 0xBC},  // Ј ј
    {0xA5, 0xB4},  // Ґ ґ
    {0xA8, 0xB8},  // Ё ё
    {0xAA, 0xBA},  // Є є
    {0xAF, 0xBF},  // Ї ї
    {0xB2, 0xB3},  // І і
    {0xBD, 0xBE},  // Ѕ ѕ
}};

constexpr std::array<unsigned char, 256> MakeLowerTable() {
    std::array<unsigned char, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<unsigned char>(i);
    for (std::size_t i = 'A'; i <= 'Z'; ++i)
        table[i] = static_cast<unsigned char>(i + 0x20);
    for (std::size_t i = 0xC0; i <= 0xDF; ++i)
        table[i] = static_cast<unsigned char>(i + 0x20);
    for (const auto& [upper, lower] : kCyrillicCasePairs)
        table[upper] = lower;
    return table;
}

constexpr std::array<unsigned char, 256> kLower = MakeLowerTable();

}  // namespace

std::optional<std::string> Utf8ToCp1251(std::string_view utf8) {
    return Convert(cp1251_names::code_page, "UTF-8", utf8, 1, Utf8SequenceLength);
}

std::optional<std::string> Cp1251ToUtf8(std::string_view cp1251) {
    return Convert("UTF-8", cp1251_names::code_page, cp1251, 3,
                   [](std::string_view) { return std::size_t{1}; });
}

bool SameTextCp1251(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (kLower[static_cast<unsigned char>(a[i])] != kLower[static_cast<unsigned char>(b[i])]) {
            return false;
        }
    }
    return true;
}

}  // namespace veltrona
