#pragma once

#include <functional>

#include "link/device_model.h"

class QWidget;

namespace veltrona {

struct InverterView;

// What the inverter's command paths work on; the main window owns all of it.
struct InverterLink {
    InverterView* view = nullptr;
    const DeviceList* devices = nullptr;
    // Runs after a command has been queued, so that an idle cycle picks it up.
    std::function<void()> startCycle;

    DeviceModel* model() const;
};

// The on/off and new-cycle commands as the window's and the summary's buttons give them: the
// availability check with its message, the question where there is one (Yes only sends),
// then the command queued. parent owns the message boxes.
void AskInverterOnOff(const InverterLink& link, QWidget* parent);
void GiveInverterNewCycle(const InverterLink& link, QWidget* parent);

}  // namespace veltrona
