#pragma once

#include <QtGui/QColor>
#include <QtWidgets/QFrame>
#include <QtWidgets/QWidget>

#include <cstdint>

// A panel: a filled rectangle with an outer and an inner bevel, one pixel
// each, lowered or raised, and an optional single-line border.
class TPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(BevelCut BevelInner READ BevelInner WRITE setBevelInner)
    Q_PROPERTY(BevelCut BevelOuter READ BevelOuter WRITE setBevelOuter)
    Q_PROPERTY(bool BorderSingle READ BorderSingle WRITE setBorderSingle)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
public:
    enum BevelCut { bvNone, bvLowered, bvRaised };
    Q_ENUM(BevelCut)

    explicit TPanel(QWidget* parent = nullptr);

    BevelCut BevelInner() const { return bevelInner_; }
    void setBevelInner(BevelCut cut);
    BevelCut BevelOuter() const { return bevelOuter_; }
    void setBevelOuter(BevelCut cut);
    bool BorderSingle() const { return borderSingle_; }
    void setBorderSingle(bool single);
    // Invalid: no fill of its own, the parent shows through.
    QColor Color() const { return color_; }
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BevelCut bevelInner_ = bvNone;
    BevelCut bevelOuter_ = bvRaised;
    bool borderSingle_ = false;
    QColor color_;
};

// A line along the top edge of its box, etched: a shadow line with a light
// line below it.
class TBevel : public QWidget {
    Q_OBJECT
public:
    explicit TBevel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
