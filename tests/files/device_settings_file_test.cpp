#include "files/device_settings_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "files/atomic_save.h"
#include "files/cp1251.h"
#include "files/cp1251_names.h"

namespace veltrona {
namespace {

constexpr std::string_view kTitle = "НАСТРОЙКИ ПРИБОРА ТАРВОЛЕН";

// Deliberately not in register order, to show that lines follow the table.
constexpr std::array<DeviceSettingsKey, 4> kKeys{{
    {"WaySaveSettings", 0, "Способ сохранения настроек"},
    {"DeviceIdentity", 2, "Идентификатор прибора"},
    {"ControlMode", 1, "Режим управления"},
    {"ЁмкостьАКБ", 3, "Ёмкость батареи, А·ч"},
}};

constexpr std::array<std::uint16_t, 4> kValues{1, 0, 65531, 65535};

struct Recorder {
    std::vector<std::string> shown;
    MessageAnswer answer = MessageAnswer::kYes;
    MessageSink Sink() {
        return [this](std::string_view text, std::string_view, MessageButtons buttons) {
            shown.emplace_back(text);
            return buttons == MessageButtons::kYesNo ? answer : MessageAnswer::kOk;
        };
    }
};

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Cp1251(std::string_view utf8) {
    return Utf8ToCp1251(utf8).value();
}

std::string Golden() {
    return Contents(std::filesystem::path(__FILE__).parent_path() / "golden" /
                    "device_settings_small.ini");
}

class DeviceSettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "dsXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // Loads a file made of the title and the given lines (UTF-8) into target.
    bool LoadLines(const std::string& lines, std::array<std::uint16_t, 4>& target) {
        const std::string bytes = Cp1251(std::string(kTitle) + "\r\n" + lines);
        MemorySource source(bytes);
        return ReadDeviceSettings(source, kTitle, kKeys, target, recorder_.Sink());
    }

    std::filesystem::path folder_;
    Recorder recorder_;
};

TEST_F(DeviceSettingsFile, SavesTheGoldenBytesAndLoadsThemBack) {
    const std::string golden = Golden();
    ASSERT_EQ(golden.size(), 367u);
    EXPECT_EQ(ComposeDeviceSettings(kTitle, kKeys, kValues), golden);

    ASSERT_TRUE(SaveDeviceSettings(folder_ / "chrg.txt", kTitle, kKeys, kValues, recorder_.Sink()));
    EXPECT_EQ(Contents(folder_ / "chrg.ini"), golden);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "chrg.txt"));

    std::array<std::uint16_t, 4> loaded{};
    ASSERT_TRUE(LoadDeviceSettings(folder_ / "chrg.ini", kTitle, kKeys, loaded, recorder_.Sink()));
    EXPECT_EQ(loaded, kValues);
    EXPECT_TRUE(recorder_.shown.empty());
}

TEST_F(DeviceSettingsFile, OverwriteAsksFirst) {
    const auto path = folder_ / "chrg.ini";
    ASSERT_TRUE(AtomicSave(path, std::string(2000, 'x')));
    recorder_.answer = MessageAnswer::kNo;
    EXPECT_FALSE(SaveDeviceSettings(path, kTitle, kKeys, kValues, recorder_.Sink()));
    EXPECT_EQ(Contents(path), std::string(2000, 'x'));
    recorder_.answer = MessageAnswer::kYes;
    EXPECT_TRUE(SaveDeviceSettings(path, kTitle, kKeys, kValues, recorder_.Sink()));
    EXPECT_EQ(Contents(path), Golden());
    ASSERT_EQ(recorder_.shown.size(), 2u);
    EXPECT_EQ(recorder_.shown[0], "Файл с указанным именем уже существует\r\nЖелаете переписать");

    recorder_.shown.clear();
    EXPECT_FALSE(SaveDeviceSettings(path, kTitle, kKeys, {}, recorder_.Sink()));
    EXPECT_EQ(recorder_.shown, std::vector<std::string>{"Настройки не определены"});
}

TEST_F(DeviceSettingsFile, ExtensionInOtherLettersIsKept) {
    for (const auto& [chosen, written] : {std::pair{"a.txt", "a.ini"}, {"b.INI", "b.INI"}}) {
        ASSERT_TRUE(AtomicSave(folder_ / written, "old"));
        EXPECT_TRUE(SaveDeviceSettings(folder_ / chosen, kTitle, kKeys, kValues, recorder_.Sink()));
        EXPECT_EQ(Contents(folder_ / written), Golden()) << chosen;
    }
    EXPECT_EQ(recorder_.shown.size(), 2u);  // the overwrite questions
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 2);
}

TEST_F(DeviceSettingsFile, WithoutTheConverterNothingIsWrittenOrTakenOver) {
    const auto old = folder_ / "old.ini";
    ASSERT_TRUE(AtomicSave(old, Golden()));
    const char* const code_page = cp1251_names::code_page;
    cp1251_names::code_page = "NO-SUCH-CODE-PAGE";

    EXPECT_FALSE(SaveDeviceSettings(folder_ / "new.txt", kTitle, kKeys, kValues, recorder_.Sink()));
    EXPECT_FALSE(SaveDeviceSettings(old, kTitle, kKeys, kValues, recorder_.Sink()));
    EXPECT_EQ(recorder_.shown,
              (std::vector<std::string>{"Ошибка записи файла", "Ошибка записи файла"}));
    EXPECT_EQ(Contents(old), Golden());

    recorder_.shown.clear();
    std::array<std::uint16_t, 4> target{9, 9, 9, 9};
    EXPECT_FALSE(LoadDeviceSettings(old, kTitle, kKeys, target, recorder_.Sink()));
    EXPECT_EQ(recorder_.shown, std::vector<std::string>{"Ошибка чтения файла"});
    EXPECT_EQ(target, (std::array<std::uint16_t, 4>{9, 9, 9, 9}));

    cp1251_names::code_page = code_page;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(DeviceSettingsFile, LoadRules) {
    std::array<std::uint16_t, 4> target{9, 9, 9, 9};
    // Case ignored in title and keys; unknown keys passed over; an empty value is 0; a signed
    // register's negative value is kept as its two's complement; the last of two lines wins.
    const std::string bytes = Cp1251(
        "настройки прибора тарволен\r\n"
        "devicEidentity = -5 // x\r\n"
        "Unknown=abc\r\n"
        "WAYSAVESETTINGS=\r\n"
        "ёмкостьакб=1\r\n"
        "ЁмкостьАКБ=2");
    MemorySource source(bytes);
    EXPECT_TRUE(ReadDeviceSettings(source, kTitle, kKeys, target, recorder_.Sink()));
    EXPECT_EQ(target, (std::array<std::uint16_t, 4>{0, 9, 65531, 2}));
    EXPECT_TRUE(recorder_.shown.empty());

    const std::string other_bytes = Cp1251("НАСТРОЙКИ ПРИБОРА ТЛ-7150\r\nControlMode=1\r\n");
    MemorySource other(other_bytes);
    EXPECT_FALSE(ReadDeviceSettings(other, kTitle, kKeys, target, recorder_.Sink()));
    EXPECT_EQ(recorder_.shown, std::vector<std::string>{"Файл не содержит настроек прибора"});

    recorder_.shown.clear();
    EXPECT_FALSE(LoadDeviceSettings(folder_ / "none.ini", kTitle, kKeys, target, recorder_.Sink()));
    EXPECT_EQ(recorder_.shown, (std::vector<std::string>{"Ошибка открытия файла настроек",
                                                         "Ошибка открытия файла"}));
}

TEST_F(DeviceSettingsFile, ValueOutsideSixteenBitsFailsTheLoad) {
    for (const char* bad : {"65536", "-32769", "1.5", "abc", "99999999999999999999"}) {
        std::array<std::uint16_t, 4> target{};
        recorder_.shown.clear();
        EXPECT_FALSE(LoadLines(
            "ControlMode=7\r\nDeviceIdentity=" + std::string(bad) + "\r\nWaySaveSettings=3\r\n",
            target))
            << bad;
        EXPECT_EQ(target, (std::array<std::uint16_t, 4>{0, 7, 0, 0})) << bad;
        ASSERT_EQ(recorder_.shown.size(), 1u);
        EXPECT_NE(recorder_.shown[0].find(bad), std::string::npos);
    }
    std::array<std::uint16_t, 4> target{};
    EXPECT_TRUE(LoadLines("ControlMode=-32768\r\nDeviceIdentity=65535\r\n", target));
    EXPECT_EQ(target, (std::array<std::uint16_t, 4>{0, 32768, 65535, 0}));
}

}  // namespace
}  // namespace veltrona
