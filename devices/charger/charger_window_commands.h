#pragma once

#include <filesystem>
#include <functional>

#include "link/device_model.h"

class QWidget;

namespace veltrona {

struct ChargerView;

// What the charger's command paths work on; the main window owns all of it.
struct ChargerLink {
    ChargerView* view = nullptr;
    const DeviceList* devices = nullptr;
    // Runs after a command has been queued, so that an idle cycle picks it up.
    std::function<void()> startCycle;
    // Where the settings file dialogs start.
    std::filesystem::path folder;

    DeviceModel* model() const;
};

// The charger commands as the buttons give them: the availability check with its message,
// the question where there is one, then the command queued. parent owns the message boxes.
void AskChargeOn(const ChargerLink& link, QWidget* parent);
void GiveChargeOff(const ChargerLink& link, QWidget* parent);
void AskClearErrors(const ChargerLink& link, QWidget* parent);
void AskClearUserCapacity(const ChargerLink& link, QWidget* parent);

}  // namespace veltrona
