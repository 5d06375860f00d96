#pragma once

class QWidget;

namespace veltrona {

// The BMS settings tabs of the operating and protection registers: one numeric field per
// register, named "eSet" + the register name ("Trh" written out as "Threshold"), its arrows
// "udSet" + the same. The fields are not connected to anything.
QWidget* BuildBmsOperatingTab(QWidget* parent);
QWidget* BuildBmsVoltageProtectionTab(QWidget* parent);
QWidget* BuildBmsTemperatureProtectionTab(QWidget* parent);
QWidget* BuildBmsCurrentProtectionTab(QWidget* parent);

}  // namespace veltrona
