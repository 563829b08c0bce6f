#include "notify/TIcon.h"
#include "IconTestData.h"

#include <QtCore/QBuffer>
#include <gtest/gtest.h>

using namespace icontest;

namespace {

class TOther : public TPersistent {
public:
    QString ClassName() const override { return QStringLiteral("TOther"); }
};

int u16(const QByteArray& b, int at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}
qint64 u32(const QByteArray& b, int at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}

TEST(TIcon, SavesTheBytesItWasLoadedFromTrailingBytesIncluded) {
    for (const QByteArray& bytes : {stillIcon(), tinyIcon('x', 8, 10), tinyIcon('y', 3, 0)}) {
        TIcon icon;
        QBuffer in;
        in.setData(bytes);
        in.open(QIODevice::ReadOnly);
        icon.LoadFromStream(in);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        icon.SaveToStream(out);
        EXPECT_EQ(out.data(), bytes);
        EXPECT_FALSE(icon.Empty());
    }
}

class TIconRejects : public ::testing::TestWithParam<QByteArray> {};

TEST_P(TIconRejects, DataThatIsNotAnIconFileAndKeepsTheOldImage) {
    TIcon icon;
    icon.LoadFromBytes(tinyIcon('a'));
    int changes = 0;
    icon.OnChange = [&](TPersistent*) { ++changes; };
    EXPECT_THROW(icon.LoadFromBytes(GetParam()), EInvalidGraphic);
    EXPECT_EQ(icon.SaveToBytes(), tinyIcon('a'));
    EXPECT_EQ(changes, 0);
}

QByteArray patched(QByteArray b, int at, char value) {
    b[at] = value;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Broken, TIconRejects,
    ::testing::Values(QByteArray(), QByteArray("\0\0\1\0", 4), patched(tinyIcon('a'), 0, 1),
                      patched(tinyIcon('a'), 2, 2),                 // a cursor
                      patched(tinyIcon('a'), 4, 0),                 // no image
                      patched(tinyIcon('a'), 4, 2),                 // directory cut off
                      tinyIcon('a').left(29),                       // image cut off
                      patched(tinyIcon('a'), 6 + 12, 5),            // image inside the directory
                      patched(tinyIcon('a'), 6 + 11, char(0x80)))); // huge image size

TEST(TIcon, AssignCopiesEmptiesOrRefusesAndRaisesTheChangeEvent) {
    TIcon source;
    source.LoadFromBytes(tinyIcon('s', 8, 4));
    TIcon icon;
    int changes = 0;
    icon.OnChange = [&](TPersistent* sender) {
        EXPECT_EQ(sender, &icon);
        ++changes;
    };
    icon.Assign(&source);
    EXPECT_EQ(icon.SaveToBytes(), source.SaveToBytes());
    EXPECT_EQ(changes, 1);
    // Copies are independent.
    source.LoadFromBytes(tinyIcon('t'));
    EXPECT_EQ(icon.SaveToBytes(), tinyIcon('s', 8, 4));

    TOther other;
    EXPECT_THROW(icon.Assign(&other), EAssignError);
    EXPECT_EQ(icon.SaveToBytes(), tinyIcon('s', 8, 4));
    EXPECT_EQ(changes, 1);

    icon.Assign(nullptr);
    EXPECT_TRUE(icon.Empty());
    EXPECT_EQ(changes, 2);
}

TEST(TIcon, HandleNamesTheCurrentImageUntilItChanges) {
    TIcon icon;
    EXPECT_EQ(icon.Handle(), 0);
    icon.LoadFromBytes(tinyIcon('a'));
    const HICON first = icon.Handle();
    EXPECT_EQ(IconHandleImage(first), tinyIcon('a'));
    icon.LoadFromBytes(tinyIcon('b'));
    EXPECT_NE(icon.Handle(), first);
    EXPECT_TRUE(IconHandleImage(first).isEmpty());
    EXPECT_EQ(IconHandleImage(icon.Handle()), tinyIcon('b'));
    const HICON last = icon.Handle();
    {
        TIcon gone;
        gone.Assign(&icon);
        EXPECT_EQ(IconHandleImage(gone.Handle()), tinyIcon('b'));
        const HICON goneHandle = gone.Handle();
        gone.Assign(nullptr);
        EXPECT_EQ(gone.Handle(), 0);
        EXPECT_TRUE(IconHandleImage(goneHandle).isEmpty());
    }
    EXPECT_EQ(IconHandleImage(last), tinyIcon('b'));
}

TEST(ShippedStillIcon, IsTwoFourBitImagesLaidOutAsTheTrayExpects) {
    const QByteArray b = stillIcon();
    ASSERT_EQ(b.size(), 1078);
    EXPECT_EQ(u16(b, 0), 0);
    EXPECT_EQ(u16(b, 2), 1);
    EXPECT_EQ(u16(b, 4), 2);
    const struct {
        int side;
        qint64 size, offset;
    } images[] = {{32, 744, 38}, {16, 296, 782}};
    for (int i = 0; i < 2; ++i) {
        const int entry = 6 + 16 * i;
        EXPECT_EQ(uchar(b[entry]), images[i].side);
        EXPECT_EQ(uchar(b[entry + 1]), images[i].side);
        EXPECT_EQ(uchar(b[entry + 2]), 16); // colour count
        EXPECT_EQ(u16(b, entry + 4), 0);    // planes
        EXPECT_EQ(u16(b, entry + 6), 0);    // bit count
        EXPECT_EQ(u32(b, entry + 8), images[i].size);
        EXPECT_EQ(u32(b, entry + 12), images[i].offset);
        const int header = int(images[i].offset);
        EXPECT_EQ(u32(b, header), 40);
        EXPECT_EQ(u32(b, header + 4), images[i].side);
        EXPECT_EQ(u32(b, header + 8), 2 * images[i].side);
        EXPECT_EQ(u16(b, header + 14), 4);
        // Standard palette: yellow at 11, white at 15 (blue, green, red, 0).
        EXPECT_EQ(u32(b, header + 40 + 4 * 11), 0x00FFFF00);
        EXPECT_EQ(u32(b, header + 40 + 4 * 15), 0x00FFFFFF);
    }
}

TEST(ShippedStillIcon, ShowsAGreyTrayOnATransparentBackground) {
    TIcon icon;
    icon.LoadFromBytes(stillIcon());
    const QIcon shown = icon.ToQIcon();
    ASSERT_FALSE(shown.isNull());
    const QList<QSize> sizes = shown.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    const QImage image = shown.pixmap(32, 32).toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    int grey = 0, yellow = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p) && qRed(p) >= 0x80)
                ++grey;
            if (qAlpha(p) && qRed(p) == 255 && qGreen(p) == 255 && qBlue(p) == 0)
                ++yellow;
        }
    EXPECT_GT(grey, 200);
    EXPECT_EQ(yellow, 0);
}

} // namespace
