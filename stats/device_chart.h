#pragma once

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <vector>

#include "stats/series_store.h"

class QCPGraph;
class QComboBox;
class QCustomPlot;
class QLabel;
class QMenu;
class QAction;

namespace veltrona {

class ChartStatusBar;

// A line chart of device measurements over time: every point is kept, the time axis can
// follow the newest point, two scale lists set the pixels per minute and per unit, and a
// status bar reads out the time and each series' value under the mouse.
class DeviceChart : public QWidget {
    Q_OBJECT

  public:
    // Items of both scale lists; the factor of an item is 1000 for "100%" and 0 for the
    // automatic item.
    static const QStringList& scaleItems();
    static int scaleFactor(int index);
    static constexpr int kDefaultScaleIndex = 8;  // "100%"
    static constexpr int kPanelWidth = 75;

    explicit DeviceChart(const QStringList& titles, QWidget* parent = nullptr);
    ~DeviceChart() override;

    int seriesCount() const { return static_cast<int>(series_.size()); }
    QString seriesTitle(int series) const;
    // Adds one point; a value that is infinite or not a number is plotted as -1. Ignored
    // while the series is disabled.
    void addPoint(int series, const QDateTime& when, double value);
    // One point per series at one time (values[i] for series i; extra values are ignored).
    void addPoints(const QDateTime& when, const QList<double>& values);
    void setSeriesEnabled(int series, bool enabled);
    bool seriesEnabled(int series) const;
    // Removes every series with its points; the chart stays empty from then on.
    void removeAllSeries();
    const SeriesStore& store(int series) const { return series_[series].store; }

    bool follow() const { return follow_; }
    void setFollow(bool follow);

    int timeScaleFactor() const { return timeFactor_; }
    int valueScaleFactor() const { return valueFactor_; }
    // Select the item of the scale list, which sets the factor and re-fits the axis.
    void setTimeScaleIndex(int index);
    void setValueScaleIndex(int index);
    QComboBox* timeScaleCombo() const { return timeCombo_; }
    QComboBox* valueScaleCombo() const { return valueCombo_; }
    // The row of the labels "Масштаб по оси X" and "Масштаб по оси Y" with the two lists, under
    // the status bar; an owner that places the lists elsewhere hides it.
    void setScaleRowVisible(bool visible);
    void refitTimeAxis();
    void refitValueAxis();
    // Visible time range in seconds since the epoch (the plot's keys).
    double timeAxisMin() const;
    double timeAxisMax() const;
    double valueAxisMin() const;
    double valueAxisMax() const;

    QColor seriesColour(int series) const;
    void setSeriesColour(int series, const QColor& colour);
    QColor textColour(int series) const;
    void setTextColour(int series, const QColor& colour);

    // Texts of the status panels for a time: panel 0 the time, panel k series k - 1.
    QStringList readoutAt(const QDateTime& when) const;
    QStringList statusTexts() const;
    // Separator of the read-out values; the locale's at creation.
    void setDecimalSeparator(QChar separator);

    // Bitmap of the chart; PNG or BMP by the file's suffix (BMP when it is neither).
    bool exportBitmap(const QString& path);
    // Vector picture of the chart.
    bool exportSvg(const QString& path);
    QByteArray svgBytes();
    // The chart to the clipboard as image/svg+xml together with a bitmap.
    void copySvgToClipboard();
    void copyBitmapToClipboard();
    // Every point: a header row, then one row per time in time order with the ISO local time
    // and one column per series, empty where a series has no point at that time.
    bool exportCsv(const QString& path) const;

    // For the owner's object names and layout.
    QCustomPlot* plot() const { return plot_; }
    QWidget* statusBar() const;
    QMenu* contextMenu() const { return menu_; }
    QAction* seriesColourAction() const { return seriesColourAction_; }
    QAction* textColourAction() const { return textColourAction_; }
    // Status panel under the mouse when the context menu last opened; 0 is the time panel.
    int menuPanel() const { return menuPanel_; }
    // Opens the context menu for a panel, as a right click on it does.
    void popupMenuForPanel(int panel, const QPoint& globalPos);

  signals:
    void followChanged(bool follow);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Series {
        QString title;
        QCPGraph* graph = nullptr;
        SeriesStore store;
        QColor textColour;
        bool enabled = true;
    };

    void append(int series, double key, double value);
    void afterAppend();
    void rebuildReducedData();
    void markDirty();
    std::optional<double> newestKey() const;
    std::optional<double> oldestKey() const;
    void showReadout(double key);
    void chooseSeriesColour();
    void chooseTextColour();
    void onTimeScaleChanged(int index);
    void onValueScaleChanged(int index);
    void onUserScrolled();
    QString formatValue(double value) const;

    std::vector<Series> series_;
    QCustomPlot* plot_ = nullptr;
    ChartStatusBar* statusBar_ = nullptr;
    QWidget* scaleRow_ = nullptr;
    QComboBox* timeCombo_ = nullptr;
    QComboBox* valueCombo_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* seriesColourAction_ = nullptr;
    QAction* textColourAction_ = nullptr;
    int menuPanel_ = 0;
    bool follow_ = true;
    int timeFactor_ = 1000;
    int valueFactor_ = 1000;
    QChar decimalSeparator_;
    bool dirty_ = true;
    bool dragging_ = false;
    bool scrolled_ = false;
    std::vector<double> scratchKeys_;
    std::vector<double> scratchValues_;
};

}  // namespace veltrona
