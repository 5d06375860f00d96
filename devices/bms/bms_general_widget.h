#pragma once

#include <QWidget>
#include <string_view>

namespace veltrona {

// The SafetyStatus flags, bit i for entry i; the alarm settings use the same captions.
inline constexpr std::string_view kBmsSafetyFlags[] = {
    "COV (высокое напряжение элемента)",
    "CUV",
    "COVA",
    "CUVA",
    "COT",
    "CUT",
    "COTA",
    "BALANCE FAIL",
    "OTAA",
    "AOT",
    "OTAMB",
    "OTDS",
    "UTC",
    "UTD",
    "OCC",
    "OCD",
    "OVCF",
    "OCCF",
    "DWDG",
    "DCNT (количество датчиков не соответствует)",
};

// The BMS's general page: pack values, cell gauges, sensor lamps and the status flag lamps.
// It is not bound to the device: it keeps its initial state.
class BmsGeneralPage : public QWidget {
    Q_OBJECT
  public:
    explicit BmsGeneralPage(QWidget* parent);

  private:
    QWidget* BuildPackTab();
    QWidget* BuildFlagsTab();
};

}  // namespace veltrona
