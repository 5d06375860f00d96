// The charger settings file against a golden file whose keys and comments were transcribed
// apart from the program's key table (tests/data/make_charger_settings_golden.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "devices/charger/charger_map.h"
#include "files/cp1251.h"
#include "files/device_settings_file.h"

namespace veltrona {
namespace {

std::string GoldenBytes() {
    std::ifstream in(std::filesystem::path(__FILE__).parent_path().parent_path() / "data" /
                         "charger_settings_golden.ini",
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// CR LF terminated lines, shown in UTF-8.
std::vector<std::string> Lines(const std::string& cp1251) {
    std::vector<std::string> lines;
    std::istringstream in(Cp1251ToUtf8(cp1251).value_or(cp1251));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(ChargerSettingsGolden, FileMatchesTheTranscribedTable) {
    std::array<std::uint16_t, 256> values{};
    for (std::uint32_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::uint16_t>(i * 2654435761u);
    }
    values[0x3D] = static_cast<std::uint16_t>(-24);  // stage 1 FTemp, a signed register

    const std::string golden = GoldenBytes();
    ASSERT_EQ(std::count(golden.begin(), golden.end(), '\n'), 257);

    const auto composed =
        ComposeDeviceSettings("НАСТРОЙКИ ПРИБОРА ТАРВОЛЕН", ChargerSettingsKeys(), values);
    ASSERT_TRUE(composed.has_value());
    if (*composed == golden) return;

    const auto want = Lines(golden);
    const auto got = Lines(*composed);
    for (std::size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
        const std::string w = i < want.size() ? want[i] : "<none>";
        const std::string g = i < got.size() ? got[i] : "<none>";
        if (w != g) {
            FAIL() << "line " << i + 1 << "\n golden:   " << w << "\n composed: " << g;
        }
    }
    FAIL() << "the files differ outside the line texts";
}

}  // namespace
}  // namespace veltrona
