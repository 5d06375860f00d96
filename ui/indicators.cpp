#include "ui/indicators.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "ui/images.h"

namespace veltrona {
namespace {

constexpr QRgb kRedOutline = 0x800000;
constexpr QRgb kLimeOutline = 0x008000;

}  // namespace

TLampShape::TLampShape(const char* name, QWidget* parent)
    : QWidget(parent), fill_(QColor::fromRgb(kLampDark)), outline_(QColor::fromRgb(kLampDark)) {
    setObjectName(QString::fromLatin1(name));
    setFixedSize(16, 16);
}

void TLampShape::SetColours(QColor fill, QColor outline) {
    if (fill == fill_ && outline == outline_) return;
    fill_ = fill;
    outline_ = outline;
    update();
}

void TLampShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(outline_, 1));
    painter.setBrush(fill_);
    painter.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

QLineEdit* ValueField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setAlignment(Qt::AlignRight);
    return field;
}

void ShowAvailability(QLineEdit& field, bool not_available) {
    if (not_available) {
        QPalette palette = field.palette();
        palette.setColor(QPalette::Base, QColor::fromRgb(kLampRed));
        field.setPalette(palette);
    } else {
        field.setPalette(QPalette());
    }
}

void ShowNamedPicture(QLabel& label, const char* name) {
    label.setProperty("picture", QString::fromLatin1(name));
    SetPicture(label, QString::fromLatin1(name));
}

TFlagLamps::TFlagLamps(const char* name, const QString& title, const char* prefix,
                       std::span<const FlagLamp> lamps, int columns, QWidget* parent)
    : QGroupBox(title, parent) {
    setObjectName(QString::fromLatin1(name));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    const int rows = (static_cast<int>(lamps.size()) + columns - 1) / columns;
    for (std::size_t i = 0; i < lamps.size(); ++i) {
        const QByteArray lampName = QByteArray(prefix) + QByteArray::number(lamps[i].bit);
        auto* lamp = new TLampShape(lampName.constData(), this);
        auto* caption =
            new QLabel(QString::fromUtf8(lamps[i].caption.data(),
                                         static_cast<qsizetype>(lamps[i].caption.size())),
                       this);
        const int row = static_cast<int>(i) % rows;
        const int column = 2 * (static_cast<int>(i) / rows);
        grid->addWidget(lamp, row, column);
        grid->addWidget(caption, row, column + 1);
        lamps_.push_back(lamp);
        bits_.push_back(lamps[i].bit);
    }
    grid->setColumnStretch(grid->columnCount(), 1);
}

void TFlagLamps::ShowWord(std::uint32_t word) {
    for (std::size_t i = 0; i < lamps_.size(); ++i) {
        const bool set = ((word >> bits_[i]) & 1u) != 0;
        lamps_[i]->SetColours(QColor::fromRgb(set ? kLampRed : kLampLime),
                              QColor::fromRgb(set ? kRedOutline : kLimeOutline));
    }
}

void TFlagLamps::ShowSilver() {
    for (TLampShape* lamp : lamps_)
        lamp->SetColours(QColor::fromRgb(kLampDark), QColor::fromRgb(kLampDark));
}

std::vector<FlagLamp> FlagLampsFromBits(std::span<const std::string_view> captions) {
    std::vector<FlagLamp> lamps;
    for (std::size_t i = 0; i < captions.size(); ++i)
        lamps.push_back({static_cast<std::uint8_t>(i), captions[i]});
    return lamps;
}

}  // namespace veltrona
