#include "stats/device_chart.h"

#include <qcustomplot.h>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>

namespace veltrona {

namespace {

constexpr int kScaleFactors[] = {10, 25, 50, 100, 200, 250, 333, 500, 1000, 2000, 4000, 10000, 0};
constexpr double kInitialSpanSeconds = 600.0;
constexpr double kInitialValueMax = 1000.0;
constexpr double kMinimumSpanSeconds = 1.0;

const QColor kDefaultColours[] = {
    QColor(220, 0, 0),     QColor(0, 150, 0),   QColor(230, 180, 0), QColor(0, 0, 220),
    QColor(128, 128, 128), QColor(200, 0, 200), QColor(0, 150, 150), QColor(0, 0, 128),
    QColor(128, 0, 0),     QColor(0, 200, 80),  QColor(128, 128, 0), QColor(255, 120, 0),
};

double toKey(const QDateTime& when) {
    return static_cast<double>(when.toMSecsSinceEpoch()) / 1000.0;
}

QDateTime fromKey(double key) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(key * 1000.0)));
}

QString csvField(const QString& text) {
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n')) {
        return text;
    }
    QString quoted = text;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

// Shortest text that reads back as the stored single-precision value.
QByteArray shortestText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value));
    return QByteArray(buffer, static_cast<int>(result.ptr - buffer));
}

}  // namespace

// Panels of equal width drawn by the chart: panel 0 in the button colours, the others in
// their series' colours.
class ChartStatusBar : public QWidget {
  public:
    struct Panel {
        QString text;
        QColor background;  // invalid: the button colours
        QColor foreground;
    };

    explicit ChartStatusBar(QWidget* parent) : QWidget(parent) {
        setFixedHeight(fontMetrics().height() + 6);
    }

    std::vector<Panel> panels;
    std::function<void(int panel, const QPoint& globalPos)> onContextMenu;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (std::size_t i = 0; i < panels.size(); ++i) {
            const QRect box(static_cast<int>(i) * DeviceChart::kPanelWidth, 0,
                            DeviceChart::kPanelWidth - 1, height() - 1);
            const Panel& panel = panels[i];
            const bool own = panel.background.isValid();
            painter.fillRect(box, own ? panel.background : palette().button().color());
            painter.setPen(palette().mid().color());
            painter.drawRect(box);
            painter.setPen(own ? panel.foreground : palette().buttonText().color());
            painter.drawText(box.adjusted(2, 2, -2, 0), Qt::AlignLeft | Qt::AlignTop, panel.text);
        }
    }

    void contextMenuEvent(QContextMenuEvent* event) override {
        if (onContextMenu) {
            onContextMenu(event->pos().x() / DeviceChart::kPanelWidth, event->globalPos());
        }
    }
};

// Where many points fall into one pixel column a polyline only paints a vertical stroke over
// their extent; a bar of the pen's width does the same at a fraction of the cost of stroking
// thick, overlapping segments. Sparse data is drawn as usual.
class ColumnGraph : public QCPGraph {
  public:
    using QCPGraph::QCPGraph;

  protected:
    void draw(QCPPainter* painter) override {
        QCPAxis* keys = keyAxis();
        QCPAxis* values = valueAxis();
        const auto columns = keys ? keys->axisRect()->width() : 0;
        if (!values || mDataContainer->size() < 2 * columns ||
            keys->orientation() != Qt::Horizontal) {
            QCPGraph::draw(painter);
            return;
        }
        const QColor colour = mPen.color();
        const int width = std::max(1, static_cast<int>(std::lround(mPen.widthF())));
        painter->setPen(mPen);
        // The bars lie on whole pixels; smoothing would only slow the fill.
        painter->setAntialiasing(false);
        int column = 0;
        double low = 0;
        double high = 0;
        QPointF previous;
        bool started = false;
        const auto flush = [&] {
            const int top = static_cast<int>(std::floor(low)) - width / 2;
            const int bottom = static_cast<int>(std::ceil(high)) + (width - width / 2);
            painter->fillRect(QRect(column - width / 2, top, width, bottom - top), colour);
        };
        for (auto it = mDataContainer->constBegin(); it != mDataContainer->constEnd(); ++it) {
            const QPointF point(keys->coordToPixel(it->key), values->coordToPixel(it->value));
            const double clamped = std::clamp(point.x(), -1e6, 1e6);
            const int x = static_cast<int>(std::floor(clamped));
            if (started && x == column) {
                low = std::min(low, point.y());
                high = std::max(high, point.y());
            } else {
                if (started) {
                    flush();
                    if (x - column > 1) {
                        painter->drawLine(previous, point);
                    }
                }
                // Adjacent columns are bridged by taking in the previous point's height.
                const bool bridged = started && x - column == 1;
                low = bridged ? std::min(previous.y(), point.y()) : point.y();
                high = bridged ? std::max(previous.y(), point.y()) : point.y();
                column = x;
                started = true;
            }
            previous = QPointF(clamped, point.y());
        }
        if (started) {
            flush();
        }
    }
};

const QStringList& DeviceChart::scaleItems() {
    static const QStringList items = {"10000%", "4000%", "2000%",        "1000%", "500%",
                                      "400%",   "300%",  "200%",         "100%",  "50%",
                                      "25%",    "10%",   "во весь экран"};
    return items;
}

int DeviceChart::scaleFactor(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kScaleFactors))) {
        return kScaleFactors[kDefaultScaleIndex];
    }
    return kScaleFactors[index];
}

DeviceChart::DeviceChart(const QStringList& titles, QWidget* parent)
    : QWidget(parent), decimalSeparator_(QLocale().decimalPoint().at(0)) {
    plot_ = new QCustomPlot(this);
    statusBar_ = new ChartStatusBar(this);
    scaleRow_ = new QWidget(this);
    timeCombo_ = new QComboBox(scaleRow_);
    valueCombo_ = new QComboBox(scaleRow_);
    timeCombo_->setObjectName("cbDeviceStatScaleX");
    valueCombo_->setObjectName("cbDeviceStatScaleY");
    for (QComboBox* combo : {timeCombo_, valueCombo_}) {
        combo->addItems(scaleItems());
        combo->setCurrentIndex(kDefaultScaleIndex);
    }
    auto* scaleLayout = new QHBoxLayout(scaleRow_);
    scaleLayout->setContentsMargins(4, 2, 4, 2);
    scaleLayout->addWidget(new QLabel("Масштаб по оси X", scaleRow_));
    scaleLayout->addWidget(timeCombo_);
    scaleLayout->addSpacing(16);
    scaleLayout->addWidget(new QLabel("Масштаб по оси Y", scaleRow_));
    scaleLayout->addWidget(valueCombo_);
    scaleLayout->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(plot_, 1);
    layout->addWidget(statusBar_);
    layout->addWidget(scaleRow_);

    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat("hh:mm.ss");
    plot_->xAxis->setTicker(ticker);
    const double now = toKey(QDateTime::currentDateTime());
    plot_->xAxis->setRange(now, now + kInitialSpanSeconds);
    plot_->yAxis->setRange(0, kInitialValueMax);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    // One polyline per graph instead of a stroke per segment.
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    // The read-out follows the mouse without a button held.
    plot_->setMouseTracking(true);

    // The legend goes under the axis rect, a few titles to a row.
    auto* legendRow = new QCPLayoutGrid;
    plot_->plotLayout()->addElement(1, 0, legendRow);
    legendRow->setMargins(QMargins(5, 0, 5, 5));
    legendRow->addElement(0, 0, plot_->legend);
    plot_->legend->setFillOrder(QCPLegend::foColumnsFirst);
    plot_->legend->setWrap(3);
    plot_->legend->setVisible(true);
    plot_->plotLayout()->setRowStretchFactor(1, 0.001);

    const QColor textColour = statusBar_->palette().windowText().color();
    statusBar_->panels.resize(static_cast<std::size_t>(titles.size()) + 1);
    series_.resize(static_cast<std::size_t>(titles.size()));
    for (int i = 0; i < titles.size(); ++i) {
        Series& series = series_[static_cast<std::size_t>(i)];
        series.title = titles[i];
        series.textColour = textColour;
        series.graph = new ColumnGraph(plot_->xAxis, plot_->yAxis);
        series.graph->setName(titles[i]);
        const QColor colour = kDefaultColours[i % std::size(kDefaultColours)];
        series.graph->setPen(QPen(colour, 2));
        auto& panel = statusBar_->panels[static_cast<std::size_t>(i) + 1];
        panel.background = colour;
        panel.foreground = textColour;
    }
    statusBar_->setMinimumWidth(kPanelWidth * static_cast<int>(statusBar_->panels.size()));

    menu_ = new QMenu(this);
    seriesColourAction_ = menu_->addAction("Цвет серии");
    textColourAction_ = menu_->addAction("Цвет текста");
    connect(seriesColourAction_, &QAction::triggered, this, &DeviceChart::chooseSeriesColour);
    connect(textColourAction_, &QAction::triggered, this, &DeviceChart::chooseTextColour);
    statusBar_->onContextMenu = [this](int panel, const QPoint& pos) {
        popupMenuForPanel(panel, pos);
    };

    connect(timeCombo_, &QComboBox::currentIndexChanged, this, &DeviceChart::onTimeScaleChanged);
    connect(valueCombo_, &QComboBox::currentIndexChanged, this, &DeviceChart::onValueScaleChanged);
    connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
        markDirty();
        if (dragging_) {
            scrolled_ = true;
        }
    });
    // The reduced data depends on the axis rect's width, known only once the layout is done.
    connect(plot_, &QCustomPlot::afterLayout, this, [this] {
        if (dirty_) {
            rebuildReducedData();
        }
    });
    connect(plot_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
        showReadout(plot_->xAxis->pixelToCoord(event->position().x()));
    });
    connect(plot_, &QCustomPlot::mouseWheel, this, [this] { setFollow(false); });
    connect(plot_, &QCustomPlot::mousePress, this, [this](QMouseEvent* event) {
        dragging_ = event->button() == Qt::LeftButton;
        scrolled_ = false;
    });
    connect(plot_, &QCustomPlot::mouseRelease, this, [this] {
        if (dragging_ && scrolled_) {
            onUserScrolled();
        }
        dragging_ = false;
    });
    // A double click undoes the zoom.
    connect(plot_, &QCustomPlot::mouseDoubleClick, this, [this] {
        refitTimeAxis();
        refitValueAxis();
    });
    plot_->installEventFilter(this);
}

DeviceChart::~DeviceChart() = default;

QString DeviceChart::seriesTitle(int series) const {
    return series_[static_cast<std::size_t>(series)].title;
}

void DeviceChart::addPoint(int series, const QDateTime& when, double value) {
    if (series < 0 || series >= seriesCount() ||
        !series_[static_cast<std::size_t>(series)].enabled) {
        return;
    }
    append(series, toKey(when), value);
    afterAppend();
}

void DeviceChart::addPoints(const QDateTime& when, const QList<double>& values) {
    const double key = toKey(when);
    const int count = std::min(seriesCount(), static_cast<int>(values.size()));
    for (int i = 0; i < count; ++i) {
        if (series_[static_cast<std::size_t>(i)].enabled) {
            append(i, key, values[i]);
        }
    }
    afterAppend();
}

void DeviceChart::append(int series, double key, double value) {
    series_[static_cast<std::size_t>(series)].store.append(key,
                                                           std::isfinite(value) ? value : -1.0);
}

void DeviceChart::afterAppend() {
    if (timeFactor_ == 0) {
        refitTimeAxis();
    } else if (follow_) {
        // Keeps the newest point in view however often points come.
        const auto newest = newestKey();
        const QCPRange range = plot_->xAxis->range();
        if (newest && *newest > range.upper) {
            plot_->xAxis->setRange(*newest - range.size(), *newest);
        }
    }
    if (valueFactor_ == 0) {
        refitValueAxis();
    }
    markDirty();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void DeviceChart::setSeriesEnabled(int series, bool enabled) {
    series_[static_cast<std::size_t>(series)].enabled = enabled;
}

bool DeviceChart::seriesEnabled(int series) const {
    return series_[static_cast<std::size_t>(series)].enabled;
}

void DeviceChart::removeAllSeries() {
    plot_->clearGraphs();
    series_.clear();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void DeviceChart::setFollow(bool follow) {
    if (follow_ != follow) {
        follow_ = follow;
        emit followChanged(follow);
    }
}

void DeviceChart::setTimeScaleIndex(int index) {
    const QSignalBlocker blocker(timeCombo_);
    timeCombo_->setCurrentIndex(index);
    onTimeScaleChanged(index);
}

void DeviceChart::setValueScaleIndex(int index) {
    const QSignalBlocker blocker(valueCombo_);
    valueCombo_->setCurrentIndex(index);
    onValueScaleChanged(index);
}

void DeviceChart::onTimeScaleChanged(int index) {
    if (series_.empty()) {
        return;
    }
    timeFactor_ = scaleFactor(index);
    refitTimeAxis();
}

void DeviceChart::onValueScaleChanged(int index) {
    if (series_.empty()) {
        return;
    }
    valueFactor_ = scaleFactor(index);
    refitValueAxis();
}

void DeviceChart::setScaleRowVisible(bool visible) {
    scaleRow_->setVisible(visible);
}

void DeviceChart::refitTimeAxis() {
    if (series_.empty()) {
        return;
    }
    if (timeFactor_ == 0) {
        const auto oldest = oldestKey();
        const auto newest = newestKey();
        if (oldest && newest) {
            const double upper = std::max(*newest, *oldest + kMinimumSpanSeconds);
            plot_->xAxis->setRange(*oldest, upper);
        }
        setFollow(false);
    } else {
        // Chart pixels × 10 / factor minutes: "100%" is 0.6 seconds per pixel.
        const double span = plot_->width() * 600.0 / timeFactor_;
        const double upper =
            std::max(plot_->xAxis->range().lower + span, newestKey().value_or(0.0));
        plot_->xAxis->setRange(upper - span, upper);
        setFollow(true);
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void DeviceChart::refitValueAxis() {
    if (series_.empty()) {
        return;
    }
    if (valueFactor_ == 0) {
        double top = std::numeric_limits<double>::lowest();
        for (const Series& series : series_) {
            if (const auto range = series.store.valueRange()) {
                top = std::max(top, range->second);
            }
        }
        plot_->yAxis->setRange(0, top > 0 ? top : 1.0);
    } else {
        plot_->yAxis->setRange(0, plot_->height() * 1000.0 / valueFactor_);
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

double DeviceChart::timeAxisMin() const {
    return plot_->xAxis->range().lower;
}
double DeviceChart::timeAxisMax() const {
    return plot_->xAxis->range().upper;
}
double DeviceChart::valueAxisMin() const {
    return plot_->yAxis->range().lower;
}
double DeviceChart::valueAxisMax() const {
    return plot_->yAxis->range().upper;
}

void DeviceChart::onUserScrolled() {
    if (timeFactor_ != 0) {
        setFollow(newestKey().value_or(0.0) <= plot_->xAxis->range().upper);
    }
}

std::optional<double> DeviceChart::newestKey() const {
    std::optional<double> newest;
    for (const Series& series : series_) {
        if (!series.store.empty()) {
            newest = std::max(newest.value_or(series.store.lastKey()), series.store.lastKey());
        }
    }
    return newest;
}

std::optional<double> DeviceChart::oldestKey() const {
    std::optional<double> oldest;
    for (const Series& series : series_) {
        if (!series.store.empty()) {
            oldest = std::min(oldest.value_or(series.store.firstKey()), series.store.firstKey());
        }
    }
    return oldest;
}

void DeviceChart::markDirty() {
    dirty_ = true;
}

void DeviceChart::rebuildReducedData() {
    dirty_ = false;
    const QCPRange range = plot_->xAxis->range();
    const int columns = std::max(1, plot_->axisRect()->width());
    for (Series& series : series_) {
        series.store.reduce(range.lower, range.upper, columns, scratchKeys_, scratchValues_);
        QVector<QCPGraphData> points;
        points.reserve(static_cast<qsizetype>(scratchKeys_.size()));
        for (std::size_t i = 0; i < scratchKeys_.size(); ++i) {
            points.append(QCPGraphData(scratchKeys_[i], scratchValues_[i]));
        }
        series.graph->data()->set(points, true);
    }
}

QColor DeviceChart::seriesColour(int series) const {
    return series_[static_cast<std::size_t>(series)].graph->pen().color();
}

void DeviceChart::setSeriesColour(int series, const QColor& colour) {
    series_[static_cast<std::size_t>(series)].graph->setPen(QPen(colour, 2));
    statusBar_->panels[static_cast<std::size_t>(series) + 1].background = colour;
    statusBar_->update();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

QColor DeviceChart::textColour(int series) const {
    return series_[static_cast<std::size_t>(series)].textColour;
}

void DeviceChart::setTextColour(int series, const QColor& colour) {
    series_[static_cast<std::size_t>(series)].textColour = colour;
    statusBar_->panels[static_cast<std::size_t>(series) + 1].foreground = colour;
    statusBar_->update();
}

QString DeviceChart::formatValue(double value) const {
    QString text = QString::number(value, 'f', 3);
    if (text == "-0.000") {
        text = "0.000";
    }
    text.replace('.', decimalSeparator_);
    return text;
}

QStringList DeviceChart::readoutAt(const QDateTime& when) const {
    const double key = toKey(when);
    QStringList texts{when.toString("hh:mm.ss.zzz")};
    for (const Series& series : series_) {
        const auto value = series.store.interpolate(key);
        texts << (value ? formatValue(*value) : QString("Нет"));
    }
    return texts;
}

QStringList DeviceChart::statusTexts() const {
    QStringList texts;
    for (const auto& panel : statusBar_->panels) {
        texts << panel.text;
    }
    return texts;
}

void DeviceChart::showReadout(double key) {
    const QStringList texts = readoutAt(fromKey(key));
    for (int i = 0; i < texts.size(); ++i) {
        statusBar_->panels[static_cast<std::size_t>(i)].text = texts[i];
    }
    statusBar_->update();
}

void DeviceChart::setDecimalSeparator(QChar separator) {
    decimalSeparator_ = separator;
}

QWidget* DeviceChart::statusBar() const {
    return statusBar_;
}

void DeviceChart::popupMenuForPanel(int panel, const QPoint& globalPos) {
    menuPanel_ = panel;
    const bool seriesPanel = panel >= 1 && panel <= seriesCount();
    seriesColourAction_->setEnabled(seriesPanel);
    textColourAction_->setEnabled(seriesPanel);
    menu_->popup(globalPos);
}

void DeviceChart::chooseSeriesColour() {
    const int series = menuPanel_ - 1;
    if (series < 0 || series >= seriesCount()) {
        return;
    }
    const QColor colour = QColorDialog::getColor(seriesColour(series), this);
    if (colour.isValid()) {
        setSeriesColour(series, colour);
    }
}

void DeviceChart::chooseTextColour() {
    const int series = menuPanel_ - 1;
    if (series < 0 || series >= seriesCount()) {
        return;
    }
    const QColor colour = QColorDialog::getColor(textColour(series), this);
    if (colour.isValid()) {
        setTextColour(series, colour);
    }
}

bool DeviceChart::eventFilter(QObject* watched, QEvent* event) {
    if (watched == plot_) {
        if (event->type() == QEvent::Resize) {
            refitTimeAxis();
            refitValueAxis();
        } else if (event->type() == QEvent::Enter) {
            plot_->setFocus();
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool DeviceChart::exportBitmap(const QString& path) {
    if (QFileInfo(path).suffix().compare("png", Qt::CaseInsensitive) == 0) {
        return plot_->savePng(path);
    }
    return plot_->saveBmp(path);
}

QByteArray DeviceChart::svgBytes() {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(plot_->size());
    generator.setViewBox(QRect(QPoint(0, 0), plot_->size()));
    {
        QCPPainter painter(&generator);
        plot_->toPainter(&painter, plot_->width(), plot_->height());
    }
    return buffer.data();
}

bool DeviceChart::exportSvg(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const QByteArray bytes = svgBytes();
    return file.write(bytes) == bytes.size();
}

void DeviceChart::copySvgToClipboard() {
    auto* mime = new QMimeData;
    mime->setData("image/svg+xml", svgBytes());
    mime->setImageData(plot_->toPixmap().toImage());
    QApplication::clipboard()->setMimeData(mime);
}

void DeviceChart::copyBitmapToClipboard() {
    QApplication::clipboard()->setImage(plot_->toPixmap().toImage());
}

bool DeviceChart::exportCsv(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    QByteArray text = "Время";
    for (const Series& series : series_) {
        text += ',' + csvField(series.title).toUtf8();
    }
    text += '\n';
    // A merge of the sorted series: each row takes the next point of every series that has
    // one at the row's time.
    std::vector<std::size_t> next(series_.size(), 0);
    for (;;) {
        std::optional<double> key;
        for (std::size_t i = 0; i < series_.size(); ++i) {
            if (next[i] < series_[i].store.size()) {
                key = std::min(key.value_or(series_[i].store.key(next[i])),
                               series_[i].store.key(next[i]));
            }
        }
        if (!key) {
            break;
        }
        text += fromKey(*key).toString(Qt::ISODateWithMs).toUtf8();
        for (std::size_t i = 0; i < series_.size(); ++i) {
            text += ',';
            const SeriesStore& store = series_[i].store;
            if (next[i] < store.size() && store.key(next[i]) == *key) {
                text += shortestText(store.value(next[i]++));
            }
        }
        text += '\n';
        if (text.size() > (1 << 20)) {
            if (file.write(text) != text.size()) {
                return false;
            }
            text.clear();
        }
    }
    return file.write(text) == text.size();
}

}  // namespace veltrona
