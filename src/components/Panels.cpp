#include "Panels.h"

#include "gui/Colors.h"

#include <QtGui/QPainter>

TPanel::TPanel(QWidget* parent) : QWidget(parent) {}

void TPanel::setBevelInner(BevelCut cut) {
    bevelInner_ = cut;
    update();
}

void TPanel::setBevelOuter(BevelCut cut) {
    bevelOuter_ = cut;
    update();
}

void TPanel::setBorderSingle(bool single) {
    borderSingle_ = single;
    update();
}

void TPanel::setColor(const QColor& color) {
    color_ = color;
    update();
}

void TPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    if (color_.isValid())
        p.fillRect(r, color_);
    const QColor light = colorToQColor(0x80000014); // button highlight
    const QColor dark = colorToQColor(0x80000010);  // button shadow
    auto frame = [&](BevelCut cut) {
        if (cut == bvNone)
            return;
        const QColor& topLeft = cut == bvLowered ? dark : light;
        const QColor& bottomRight = cut == bvLowered ? light : dark;
        p.setPen(topLeft);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        r.adjust(1, 1, -1, -1);
    };
    if (borderSingle_) {
        p.setPen(colorToQColor(0x80000006));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    frame(bevelOuter_);
    frame(bevelInner_);
}

TBevel::TBevel(QWidget* parent) : QWidget(parent) {}

void TBevel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(colorToQColor(0x80000010));
    p.drawLine(0, 0, width() - 1, 0);
    p.setPen(colorToQColor(0x80000014));
    p.drawLine(0, 1, width() - 1, 1);
}
