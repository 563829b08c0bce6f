#include "Colors.h"

#include <QtGui/QPalette>
#include <QtWidgets/QApplication>

namespace {

QColor systemColor(unsigned index) {
    const QPalette palette = QApplication::palette();
    switch (index) {
    case 1:
        return QColor(0, 128, 128); // desktop background
    case 2:
    case 13:
        return palette.color(QPalette::Highlight);
    case 3:
    case 19:
        return palette.color(QPalette::Mid);
    case 4:
    case 15:
        return palette.color(QPalette::Button);
    case 5:
        return palette.color(QPalette::Base);
    case 6:
    case 21:
        return palette.color(QPalette::Shadow);
    case 7:
    case 8:
        return palette.color(QPalette::WindowText);
    case 9:
    case 14:
        return palette.color(QPalette::HighlightedText);
    case 16:
        return palette.color(QPalette::Dark);
    case 17:
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18:
        return palette.color(QPalette::ButtonText);
    case 20:
        return palette.color(QPalette::Light);
    case 22:
        return palette.color(QPalette::Midlight);
    case 23:
        return palette.color(QPalette::ToolTipText);
    case 24:
        return palette.color(QPalette::ToolTipBase);
    default:
        return palette.color(QPalette::Window);
    }
}

} // namespace

QColor colorToQColor(std::uint32_t color) {
    if (color & 0x80000000u)
        return systemColor(color & 0xFFu);
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}
