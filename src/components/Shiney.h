#pragma once

#include "Panels.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class RandomSource;

// A transparent drawing surface. What is drawn on its canvas shows when it
// repaints; Refresh wipes it.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    TPaintBox(QWidget* parent, QSize size);
    ~TPaintBox() override;
    QPainter& Canvas() { return canvas_; }
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage surface_;
    QPainter canvas_;
};

using TOnShineEvent = std::function<void()>;
using TOnDrawItYourself = std::function<void(QPainter& canvas, int width, int height)>;

// A brief sparkle at a point of a window: a four-ray star that grows and
// turns for a few frames over a photograph of the window's pixels beneath
// it. Hidden except while a sparkle plays.
class TShiney : public TPanel {
    Q_OBJECT
public:
    explicit TShiney(QWidget* parent = nullptr);
    ~TShiney() override;

    TOnShineEvent OnShine;
    TOnDrawItYourself OnDrawItYourself;
    std::uint32_t ShineColor = 0xFFFFFF;

    // Plays one sparkle centred on target's top-left corner; target and this
    // component share a parent. Returns when the sparkle is over.
    void Shine(QWidget* target);
    void DrawStar(QPainter& canvas);

    // Shows what a handler has drawn so far on the paint box's canvas.
    void ShowCanvas();

    // Where the start angle comes from; the system's by default.
    void SetRandomSource(RandomSource& random) { random_ = &random; }

private:
    std::unique_ptr<RandomSource> ownRandom_;
    RandomSource* random_;
    TPaintBox* paintBox_ = nullptr;
};
