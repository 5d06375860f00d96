#pragma once

class QApplication;

namespace veltrona {

// Fusion with a light slate palette and emerald accents; without Fusion the default look stays.
void ApplyAppStyle(QApplication& app);

}  // namespace veltrona
