#include "shell/app_style.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace veltrona {
namespace {

struct PaletteEntry {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    QRgb colour;
};

constexpr PaletteEntry kSlatePalette[] = {
    {QPalette::All, QPalette::Window, 0xE6EBEF},
    {QPalette::All, QPalette::WindowText, 0x1F2A33},
    {QPalette::All, QPalette::Base, 0xFFFFFF},
    {QPalette::All, QPalette::AlternateBase, 0xEEF2F5},
    {QPalette::All, QPalette::Text, 0x1F2A33},
    {QPalette::All, QPalette::Button, 0xD9E1E7},
    {QPalette::All, QPalette::ButtonText, 0x1F2A33},
    {QPalette::All, QPalette::BrightText, 0xFFFFFF},
    {QPalette::All, QPalette::Light, 0xFFFFFF},
    {QPalette::All, QPalette::Midlight, 0xEEF2F5},
    {QPalette::All, QPalette::Mid, 0xA9B6C0},
    {QPalette::All, QPalette::Dark, 0x7D8C98},
    {QPalette::All, QPalette::Shadow, 0x4A5863},
    {QPalette::All, QPalette::Highlight, 0x13905A},
    {QPalette::All, QPalette::HighlightedText, 0xFFFFFF},
    {QPalette::All, QPalette::Link, 0x0F7A4B},
    {QPalette::All, QPalette::PlaceholderText, 0x7D8C98},
    {QPalette::Disabled, QPalette::WindowText, 0x8C99A3},
    {QPalette::Disabled, QPalette::Text, 0x8C99A3},
    {QPalette::Disabled, QPalette::ButtonText, 0x8C99A3},
    {QPalette::Disabled, QPalette::Highlight, 0x9CC9B3},
};

}  // namespace

void ApplyAppStyle(QApplication& app) {
    QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (fusion == nullptr) return;
    app.setStyle(fusion);
    QPalette palette = fusion->standardPalette();
    for (const PaletteEntry& entry : kSlatePalette) {
        palette.setColor(entry.group, entry.role, QColor::fromRgb(entry.colour));
    }
    app.setPalette(palette);
}

}  // namespace veltrona
