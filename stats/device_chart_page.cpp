#include "stats/device_chart_page.h"

#include <QComboBox>
#include <QMenu>
#include <QStatusBar>
#include <QVBoxLayout>

#include "stats/device_chart.h"

namespace veltrona {

QWidget* NewChartPage(const QStringList& titles, const char* window, QWidget* parent,
                      DeviceChart*& chart) {
    auto* page = new QWidget(parent);
    page->setObjectName(QStringLiteral("pnlStat"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(4, 4, 4, 4);
    chart = new DeviceChart(titles, page);
    const QString name = QString::fromLatin1(window);
    chart->setObjectName(QStringLiteral("chart") + name);
    chart->statusBar()->setObjectName(QStringLiteral("sbChart") + name);
    chart->contextMenu()->setObjectName(QStringLiteral("pmenuChart") + name);
    chart->timeScaleCombo()->setObjectName(QStringLiteral("cbDeviceStatScaleX"));
    chart->valueScaleCombo()->setObjectName(QStringLiteral("cbDeviceStatScaleY"));
    column->addWidget(chart);
    return page;
}

}  // namespace veltrona
