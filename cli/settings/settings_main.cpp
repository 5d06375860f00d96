// veltrona-settings: backs up and restores a charger's settings block from scripts, with the
// monitor's device model, cycle, file format and validation and without a window.

#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>

#include "cli/settings/settings_actions.h"
#include "cli/settings/settings_options.h"
#include "cli/settings/settings_session.h"
#include "devices/charger/charger_settings_workflow.h"

namespace {

// The signal that asked the program to end, 0 while none did.
volatile std::sig_atomic_t g_signal = 0;

void OnSignal(int number) {
    g_signal = number;
}

// The window's message boxes as lines on standard error.
veltrona::MessageAnswer PrintMessage(std::string_view text, std::string_view,
                                     veltrona::MessageButtons) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') std::cerr << text[i];
    }
    std::cerr << '\n';
    return veltrona::MessageAnswer::kNo;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace veltrona;
    std::string error;
    const auto options =
        ParseSettingsOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "veltrona-settings: " << error << "\n\n" << SettingsUsage();
        return 2;
    }
    if (options->help) {
        std::cout << SettingsUsage();
        return 0;
    }
    const std::string path = ResolvePortPath(options->line);
    if (path.empty()) {
        std::cerr << "veltrona-settings: " << options->line.port << " names no serial device\n";
        return 1;
    }

    ChargerView view;
    // The file is read before the port opens: a file that cannot be used sends nothing.
    const bool writing = options->action == SettingsAction::kWrite;
    if (writing && !OpenChargerSettings(view, options->file, PrintMessage)) return 1;

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    SettingsSession session(options->line, view, std::cerr, isatty(STDERR_FILENO) == 1, g_signal);
    if (!session.Start(path)) return 1;
    const int status = writing ? WriteSettingsToDevice(session, view, std::cerr)
                               : ReadSettingsToFile(session, view, options->file, std::cerr);
    session.Stop();
    return g_signal != 0 ? 128 + g_signal : status;
}
