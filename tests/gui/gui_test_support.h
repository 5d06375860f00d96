#pragma once

// What the GUI tests share: widgets by object name, waits against a deadline, recorded message
// boxes, the settings file and the device stand-ins.

#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/form_general.h"
#include "sim/sim_bus.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"

class QWidget;

namespace veltrona {

// How long a test waits for the program before it fails.
inline constexpr int kDeadlineMs = 15000;
// The COM number the stand-ins' port is listed as.
inline constexpr int kStandInCom = 7;
// The stand-in BMS answers apart from the inverter, whose default address the BMS shares.
inline constexpr std::uint8_t kStandInBmsAddress = 4;

// The child of that object name; a missing one fails the test.
template <typename T>
T* Find(QObject& root, const char* name) {
    T* found = root.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Keeps the event loop running, as the program's own does, until done() or the deadline; unlike
// QTest::qWaitFor it never sleeps between passes, so the worker's posted calls run at once.
bool WaitFor(const std::function<bool()>& done, int deadlineMs = kDeadlineMs);

// Answers the next modal dialog once it runs.
void WhenModal(std::function<void(QWidget&)> act);

struct Message {
    QString text;
    QString caption;
    MessageButtons buttons;
};

// Records every message box while it lives, so none blocks, and answers questions with `answer`.
class MessageRecorder {
  public:
    explicit MessageRecorder(MessageAnswer answer);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    int Count(const QString& text) const;
    // Whether any message was a yes/no question.
    bool Asked() const;

    std::vector<Message> messages;
    MessageAnswer answer;
};

// Answers every file dialog while it lives with `choice` (nullopt: cancelled) and records
// where each one started.
class FileDialogAnswer {
  public:
    explicit FileDialogAnswer(std::optional<std::filesystem::path> choice);
    ~FileDialogAnswer();
    FileDialogAnswer(const FileDialogAnswer&) = delete;
    FileDialogAnswer& operator=(const FileDialogAnswer&) = delete;

    std::optional<std::filesystem::path> choice;
    std::vector<std::filesystem::path> folders;
};

std::string ReadFile(const std::filesystem::path& path);
// The default settings file, byte for byte.
std::string DefaultSettings();
// `text` with its first `from` replaced; a missing one fails the test.
std::string Replace(std::string text, const std::string& from, const std::string& to);
// The default settings with the charger alone on the bus and short line times: five time-outs
// in about a second, and room for a reply on a busy machine.
std::string ChargerAloneSettings();
// The same with the inverter alone on the bus, or the BMS alone at kStandInBmsAddress.
std::string InverterAloneSettings();
std::string BmsAloneSettings();
// Writes `text` as the settings file of the program started from `folder`.
void WriteSettings(const QTemporaryDir& folder, const std::string& text);

// The program started from a temporary folder beside the stand-ins: the fixture of the tests
// that run against them. TearDown also puts the default locale back.
class StandInTest : public ::testing::Test {
  protected:
    // Writes `settings`, starts the stand-ins and the program with its main window shown.
    void StartProgram(const std::string& settings);
    void TearDown() override;
    TFormGeneral& General() { return *windows_->general; }

    QTemporaryDir folder_;
    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<ApplicationWindows> windows_;
};

// Starts the stand-ins on kStandInCom, their port link in `folder`.
void StartStandIns(const QTemporaryDir& folder, std::unique_ptr<sim::SimBus>& bus);
// Chooses the stand-ins' port as a user would; the speed follows the port.
void ChooseStandInPort(TFormGeneral& general);
// Chooses the stand-ins' port and opens it.
void OpenStandInPort(TFormGeneral& general);

}  // namespace veltrona
