#include "components/Shiney.h"
#include "FixedRandom.h"

#include <QtGui/QPaintEngine>
#include <QtGui/QPainter>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

struct Stroke {
    QLine line;
    QColor color;
};

// A canvas that keeps the lines drawn on it, each with its pen colour.
class LineRecorder : public QPaintEngine {
public:
    LineRecorder() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override {
        if (state.state() & DirtyPen)
            pen = state.pen().color();
    }
    void drawLines(const QLine* lines, int count) override {
        for (int i = 0; i < count; ++i)
            strokes.push_back({lines[i], pen});
    }
    void drawLines(const QLineF* lines, int count) override {
        for (int i = 0; i < count; ++i)
            strokes.push_back({lines[i].toLine(), pen});
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    Type type() const override { return User; }

    QColor pen;
    std::vector<Stroke> strokes;
};

class TestCanvas : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return &engine; }
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth:
        case PdmHeight:
            return 100;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 100;
        }
    }
    mutable LineRecorder engine;
};

// The star's rays worked out independently: the current rounding mode of the
// floating-point unit (to nearest, ties to even) does the rounding.
std::vector<QLine> expectedStar(int size, double start) {
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
    const int c = size / 2;
    std::vector<QLine> lines;
    double angle = start;
    for (int r = c / 4; r <= c / 2; ++r) {
        for (auto [turn, len] : {std::pair{0.0, 1.0}, {90.0, 1.0}, {45.0, 0.5}, {135.0, 0.5}}) {
            const double rad = (angle + turn) / 180.0 * std::numbers::pi;
            const int dx = int(std::nearbyint(std::cos(rad) * r * len));
            const int dy = int(std::nearbyint(std::sin(rad) * r * len));
            lines.emplace_back(c - dx, c - dy, c + dx, c + dy);
        }
        angle += 45.0 / (c / 2);
    }
    return lines;
}

struct StarCase {
    int size;
    std::uint32_t start;
    std::size_t frames;
};

class StarGeometry : public ::testing::TestWithParam<StarCase> {};

TEST_P(StarGeometry, FramesRadiiAndTurn) {
    const auto& c = GetParam();
    FixedRandom random{c.start};
    TShiney shiney;
    shiney.resize(c.size, c.size);
    shiney.SetRandomSource(random);
    shiney.ShineColor = 0x0000FF; // red in the lowest byte
    TestCanvas canvas;
    {
        QPainter p(&canvas);
        shiney.DrawStar(p);
    }
    EXPECT_EQ(random.bounds, std::deque<std::uint32_t>{180});
    const auto expected = expectedStar(c.size, c.start);
    ASSERT_EQ(expected.size(), c.frames * 4);
    ASSERT_EQ(canvas.engine.strokes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(canvas.engine.strokes[i].line, expected[i]) << "line " << i;
        EXPECT_EQ(canvas.engine.strokes[i].color, QColor(255, 0, 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, StarGeometry,
                         ::testing::Values(StarCase{25, 0, 4}, StarCase{25, 179, 4},
                                           StarCase{40, 0, 6}, StarCase{40, 73, 6}));

TEST(StarGeometry, RoundingTiesGoToEven) {
    auto draw = [](std::uint32_t start) {
        FixedRandom random{start};
        TShiney shiney;
        shiney.resize(25, 25);
        shiney.SetRandomSource(random);
        TestCanvas canvas;
        QPainter p(&canvas);
        shiney.DrawStar(p);
        p.end();
        return canvas.engine.strokes;
    };
    // Start 135: the first frame's short rays point at 180 and 270 degrees
    // with half-length 1.5, which rounds to 2.
    auto s = draw(135);
    EXPECT_EQ(s[2].line, QLine(14, 12, 10, 12));
    EXPECT_EQ(s[3].line, QLine(12, 14, 12, 10));
    // Start 30: the third frame (radius 5, turned 15 degrees) has short rays
    // at 90 and 180 degrees with half-length 2.5, which rounds to 2, not 3.
    s = draw(30);
    EXPECT_EQ(s[10].line, QLine(12, 10, 12, 14));
    EXPECT_EQ(s[11].line, QLine(14, 12, 10, 12));
    // The first long ray at 30 degrees, radius 3: 2.598 and sin 30 x 3,
    // which in doubles lies just below 1.5 and so rounds down.
    EXPECT_EQ(s[0].line, QLine(9, 11, 15, 13));
}

// A window whose every pixel tells its own position.
class PositionPicture : public QLabel {
public:
    PositionPicture() {
        QImage img(120, 300, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgb(x, y & 0xFF, y >> 8));
        setPixmap(QPixmap::fromImage(img));
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setFixedSize(img.size());
    }
};

class ShineTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        target.move(16, 252);
        shiney.resize(25, 25);
        shiney.SetRandomSource(random);
    }
    QStringList children() const {
        QStringList names;
        for (QObject* c : shiney.children())
            if (c->isWidgetType())
                names << c->objectName();
        return names;
    }
    PositionPicture window;
    QWidget target{&window};
    TShiney shiney{&window};
    FixedRandom random;
};

TEST_F(ShineTest, PhotographsTheBlockAroundTheTarget) {
    int shines = 0;
    shiney.OnShine = [&] {
        ++shines;
        EXPECT_FALSE(shiney.isVisible());
        EXPECT_EQ(shiney.pos(), QPoint(4, 240));
        EXPECT_EQ(children(), (QStringList{"Image", "PaintBox"})); // image at the back
        EXPECT_EQ(window.children().last(), &shiney);              // in front of its siblings
        const QImage photo = shiney.findChild<QLabel*>("Image")->pixmap().toImage();
        ASSERT_EQ(photo.size(), QSize(25, 25));
        EXPECT_EQ(photo.pixel(0, 0), qRgb(4, 240, 0));
        EXPECT_EQ(photo.pixel(24, 24), qRgb(28, 264 & 0xFF, 1));
    };
    shiney.Shine(&target);
    EXPECT_EQ(shines, 1);
    EXPECT_FALSE(shiney.isVisible());
    EXPECT_TRUE(children().isEmpty());
    EXPECT_EQ(random.bounds.size(), 1u); // the built-in star was drawn
}

TEST_F(ShineTest, ATargetWithoutParentLeavesThePlaceAndThePhotograph) {
    QWidget orphan;
    orphan.move(16, 252);
    shiney.move(50, 60);
    shiney.OnShine = [&] {
        EXPECT_EQ(shiney.pos(), QPoint(50, 60));
        EXPECT_TRUE(shiney.findChild<QLabel*>("Image")->pixmap().isNull());
    };
    shiney.Shine(&orphan);
    EXPECT_EQ(shiney.pos(), QPoint(50, 60));
}

TEST_F(ShineTest, OwnDrawingReplacesTheStar) {
    int shines = 0, draws = 0;
    shiney.OnShine = [&] { ++shines; };
    shiney.OnDrawItYourself = [&](QPainter& canvas, int w, int h) {
        ++draws;
        EXPECT_TRUE(canvas.isActive());
        EXPECT_TRUE(shiney.isVisible());
        EXPECT_EQ(QSize(w, h), QSize(25, 25));
    };
    shiney.Shine(&target);
    EXPECT_EQ(shines, 1);
    EXPECT_EQ(draws, 1);
    EXPECT_TRUE(random.bounds.empty());
}

TEST_F(ShineTest, ARaisingHandlerLeavesNoControlsBehind) {
    shiney.OnShine = [] { throw std::runtime_error("shine"); };
    EXPECT_THROW(shiney.Shine(&target), std::runtime_error);
    EXPECT_FALSE(shiney.isVisible());
    EXPECT_TRUE(children().isEmpty());

    shiney.OnShine = nullptr;
    shiney.OnDrawItYourself = [](QPainter&, int, int) { throw std::runtime_error("draw"); };
    EXPECT_THROW(shiney.Shine(&target), std::runtime_error);
    EXPECT_FALSE(shiney.isVisible());
    EXPECT_TRUE(children().isEmpty());
}

TEST(TShiney, ConstructionDefaults) {
    TShiney s;
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(s.size(), QSize(40, 40));
    EXPECT_EQ(s.ShineColor, 0xFFFFFFu);
    EXPECT_EQ(s.BevelInner(), TPanel::bvNone);
    EXPECT_EQ(s.BevelOuter(), TPanel::bvNone);
    EXPECT_FALSE(s.OnShine);
    EXPECT_FALSE(s.OnDrawItYourself);
}

} // namespace
