#pragma once

#include <QStringList>

class QWidget;

namespace veltrona {

class DeviceChart;

// The statistics page `pnlStat` of a device window: a chart of `titles` with its scale
// boxes. The chart, its status bar and menu are named chart<window>, sbChart<window> and
// pmenuChart<window>.
QWidget* NewChartPage(const QStringList& titles, const char* window, QWidget* parent,
                      DeviceChart*& chart);

}  // namespace veltrona
