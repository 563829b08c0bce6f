#include "Shiney.h"

#include "gui/Colors.h"
#include "platform/RandomSource.h"

#include <QtWidgets/QLabel>

#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

namespace {

// Nearest whole number, a half going to the even neighbour.
int roundHalfEven(double x) {
    const double down = std::floor(x);
    const double diff = x - down;
    double r = down;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(down, 2.0) != 0.0))
        r = down + 1.0;
    return int(r);
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

TPaintBox::TPaintBox(QWidget* parent, QSize size) : QWidget(parent) {
    resize(size);
    surface_ = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    surface_.fill(Qt::transparent);
    canvas_.begin(&surface_);
}

TPaintBox::~TPaintBox() {
    if (canvas_.isActive())
        canvas_.end();
}

void TPaintBox::Refresh() {
    canvas_.save();
    canvas_.setCompositionMode(QPainter::CompositionMode_Clear);
    canvas_.fillRect(surface_.rect(), Qt::transparent);
    canvas_.restore();
    repaint();
}

void TPaintBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, surface_);
}

TShiney::TShiney(QWidget* parent)
    : TPanel(parent), ownRandom_(std::make_unique<SystemRandom>()), random_(ownRandom_.get()) {
    setVisible(false);
    setBevelInner(bvNone);
    setBevelOuter(bvNone);
    setBorderSingle(false);
    resize(40, 40);
    setVisible(false);
}

TShiney::~TShiney() = default;

void TShiney::Shine(QWidget* target) {
    const int W = width(), H = height();

    auto image = std::make_unique<QLabel>(this);
    image->setObjectName(QStringLiteral("Image"));
    image->setGeometry(0, 0, W, H);
    image->lower();

    auto paintBox = std::make_unique<TPaintBox>(this, QSize(W, H));
    paintBox->setObjectName(QStringLiteral("PaintBox"));
    paintBox->setGeometry(0, 0, W, H);
    paintBox->raise();
    paintBox_ = paintBox.get();

    setVisible(false);

    const QRect r(QPoint(target->x() - W / 2, target->y() - H / 2),
                  QPoint(target->x() + W / 2, target->y() + H / 2));

    if (target->parentWidget()) {
        move(target->x() - W / 2, target->y() - H / 2);
        if (QWidget* parent = parentWidget())
            image->setPixmap(parent->grab(QRect(r.left(), r.top(), W, H)));
    }

    raise();

    // Whatever a handler raises, the component ends hidden and without its
    // two temporary controls.
    struct Cleanup {
        TShiney* self;
        std::unique_ptr<TPaintBox>& paintBox;
        std::unique_ptr<QLabel>& image;
        ~Cleanup() {
            self->setVisible(false);
            self->paintBox_ = nullptr;
            paintBox.reset();
            image.reset();
        }
    } cleanup{this, paintBox, image};

    if (OnShine)
        OnShine();
    setVisible(true);
    if (OnDrawItYourself)
        OnDrawItYourself(paintBox->Canvas(), W, H);
    else
        DrawStar(paintBox->Canvas());
}

void TShiney::ShowCanvas() {
    if (paintBox_)
        paintBox_->repaint();
}

void TShiney::DrawStar(QPainter& canvas) {
    const int cx = width() / 2, cy = height() / 2;
    double angle = random_->Random(180);
    auto ray = [&](double direction, double halfLength) {
        const double radians = direction * std::numbers::pi / 180.0;
        const int dx = roundHalfEven(std::cos(radians) * halfLength);
        const int dy = roundHalfEven(std::sin(radians) * halfLength);
        canvas.drawLine(QPoint(cx - dx, cy - dy), QPoint(cx + dx, cy + dy));
    };
    for (int r = cx / 4; r <= cx / 2; ++r) {
        QPen pen = canvas.pen();
        pen.setColor(colorToQColor(ShineColor));
        canvas.setPen(pen);
        ray(angle, r);
        ray(angle + 90, r);
        ray(angle + 45, r * 0.5);
        ray(angle + 135, r * 0.5);
        ShowCanvas(); // lines on the paint box show at once
        Sleep(1);
        if (paintBox_)
            paintBox_->Refresh();
        repaint();
        if (cx / 2 != 0) // below a width of 4 the star does not turn
            angle += 45.0 / (cx / 2);
    }
}
