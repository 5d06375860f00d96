#pragma once

namespace veltrona {

// The write progress of a settings block after a write reply, for the progress dialog.
struct SettingsWriteStep {
    int maximum = 0;      // the block's map bytes
    int position = 0;     // complete bytes
    bool failed = false;  // the device refused a write of this Send
    bool complete() const { return !failed && position >= maximum; }
};

}  // namespace veltrona
