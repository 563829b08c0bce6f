#include "notify/IcoList.h"
#include "IconTestData.h"

#include <QtCore/QBuffer>
#include <gtest/gtest.h>

#include <functional>

using namespace icontest;

namespace {

class TOther : public TPersistent {
public:
    QString ClassName() const override { return QStringLiteral("TOther"); }
};

// A list of icons 'a', 'b', 'c', ... that counts its change events.
struct CountedList {
    TIconList list;
    int changes = 0;

    explicit CountedList(int icons = 0) {
        for (int i = 0; i < icons; ++i) {
            TIcon icon;
            icon.LoadFromBytes(tinyIcon(char('a' + i)));
            list.Add(&icon);
        }
        list.OnChange = [this](TPersistent* sender) {
            EXPECT_EQ(sender, &list);
            ++changes;
        };
    }
    QByteArray bytes(int i) const {
        const TIcon* icon = list.Items(i);
        return icon ? icon->SaveToBytes() : QByteArray("null");
    }
    QList<QByteArray> all() const {
        QList<QByteArray> result;
        for (int i = 0; i < list.Count(); ++i)
            result.append(bytes(i));
        return result;
    }
};

QByteArray written(const TIconList& list) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    list.WriteData(out);
    return out.data();
}

void read(TIconList& list, const QByteArray& data) {
    QBuffer in;
    in.setData(data);
    in.open(QIODevice::ReadOnly);
    list.ReadData(in);
}

TEST(TIconList, EachOperationRaisesExactlyOneChange) {
    TIcon icon;
    icon.LoadFromBytes(tinyIcon('z'));
    const std::function<void(TIconList&)> operations[] = {
        [&](TIconList& l) { l.Add(&icon); },
        [&](TIconList& l) { l.Insert(1, &icon); },
        [&](TIconList& l) { l.AddResource(QStringLiteral(":/pingbox/icons/tray.ico")); },
        [&](TIconList& l) { l.InsertResource(0, QStringLiteral(":/pingbox/icons/tray.ico")); },
        [](TIconList& l) { l.Delete(2); },
        [](TIconList& l) { l.Clear(); },
        [](TIconList& l) { l.Exchange(0, 4); },
        [](TIconList& l) { l.Move(4, 0); },
        [&](TIconList& l) { l.SetItems(1, &icon); },
        [&](TIconList& l) { l.SetItems(5, &icon); },
        [&](TIconList& l) { l.Assign(&icon); },
        [](TIconList& l) { l.Items(2)->LoadFromBytes(tinyIcon('q')); },
        [](TIconList& l) {
            TIconList other;
            other.Add(nullptr);
            other.Add(nullptr);
            l.Assign(&other);
        },
        [](TIconList& l) { read(l, shippedFrames()); },
    };
    int n = 0;
    for (const auto& operation : operations) {
        CountedList c(5);
        operation(c.list);
        EXPECT_EQ(c.changes, 1) << "operation " << n;
        ++n;
    }
}

TEST(TIconList, NestedBracketsRaiseOneChangeAtTheOutermostEndEvenWithoutChanges) {
    CountedList c(2);
    c.list.BeginChanges();
    c.list.BeginChanges();
    c.list.Delete(0);
    c.list.Items(0)->Assign(nullptr);
    c.list.EndChanges();
    EXPECT_EQ(c.changes, 0);
    c.list.EndChanges();
    EXPECT_EQ(c.changes, 1);
    c.list.BeginChanges();
    c.list.EndChanges();
    EXPECT_EQ(c.changes, 2);
    // Reading raises nothing.
    (void)c.list.Count();
    (void)c.list.Items(0);
    (void)c.list.IndexOf(nullptr);
    EXPECT_EQ(c.changes, 2);
}

TEST(TIconList, KeepsCopiesNeverTheCallersIcon) {
    CountedList c;
    auto mine = std::make_unique<TIcon>();
    mine->LoadFromBytes(tinyIcon('m'));
    c.list.Add(mine.get());
    c.list.Insert(0, mine.get());
    c.list.SetItems(1, mine.get());
    EXPECT_EQ(c.list.IndexOf(mine.get()), -1);
    EXPECT_NE(c.list.Items(0), c.list.Items(1));
    const int before = c.changes;
    mine->LoadFromBytes(tinyIcon('n'));
    mine.reset();
    EXPECT_EQ(c.changes, before);
    EXPECT_EQ(c.all(), (QList<QByteArray>{tinyIcon('m'), tinyIcon('m')}));
    EXPECT_EQ(c.list.IndexOf(c.list.Items(1)), 1);
}

TEST(TIconList, ReordersDeletesAndAppendsThroughTheSetter) {
    CountedList c(4); // a b c d
    c.list.Exchange(0, 3);
    c.list.Move(0, 2);
    c.list.Delete(1);
    EXPECT_EQ(c.all(), (QList<QByteArray>{tinyIcon('b'), tinyIcon('d'), tinyIcon('a')}));
    TIcon e;
    e.LoadFromBytes(tinyIcon('e'));
    c.list.SetItems(3, &e);
    EXPECT_EQ(c.list.Count(), 4);
    EXPECT_EQ(c.bytes(3), tinyIcon('e'));
    const int before = c.changes;
    c.list.Clear();
    EXPECT_EQ(c.changes, before + 1);
    EXPECT_EQ(c.list.Count(), 0);
}

class TIconListIndexError
    : public ::testing::TestWithParam<std::function<void(TIconList&, const TIcon*)>> {};

TEST_P(TIconListIndexError, RaisesAndLeavesTheListAndItsEventsAlone) {
    CountedList c(3);
    TIcon icon;
    icon.LoadFromBytes(tinyIcon('z'));
    EXPECT_THROW(GetParam()(c.list, &icon), EListError);
    EXPECT_EQ(c.all(), (QList<QByteArray>{tinyIcon('a'), tinyIcon('b'), tinyIcon('c')}));
    EXPECT_LE(c.changes, 1); // the setter's bracket still closes
    const int before = c.changes;
    c.list.Delete(0); // and the list still raises events
    EXPECT_EQ(c.changes, before + 1);
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, TIconListIndexError,
                         ::testing::Values([](TIconList& l, const TIcon*) { (void)l.Items(3); },
                                           [](TIconList& l, const TIcon*) { (void)l.Items(-1); },
                                           [](TIconList& l, const TIcon* i) { l.SetItems(4, i); },
                                           [](TIconList& l, const TIcon* i) { l.SetItems(-1, i); },
                                           [](TIconList& l, const TIcon* i) { l.Insert(4, i); },
                                           [](TIconList& l, const TIcon*) { l.Delete(3); },
                                           [](TIconList& l, const TIcon*) { l.Exchange(0, 3); },
                                           [](TIconList& l, const TIcon*) { l.Move(-1, 0); },
                                           [](TIconList& l, const TIcon*) { l.Move(0, 3); }));

TEST(TIconList, AssignFromListIconNullOrAnythingElse) {
    CountedList c(2);
    TIconList source;
    TIcon x;
    x.LoadFromBytes(tinyIcon('x'));
    source.Add(&x);
    source.SetItems(1, &x);
    read(source, int32(3) + int32(0) + int32(tinyIcon('x').size()) + tinyIcon('x') + int32(0));
    ASSERT_EQ(source.Items(0), nullptr);
    c.list.Assign(&source);
    ASSERT_EQ(c.list.Count(), 3);
    ASSERT_NE(c.list.Items(0), nullptr);
    EXPECT_TRUE(c.list.Items(0)->Empty()); // a null entry becomes an empty icon
    EXPECT_EQ(c.bytes(1), tinyIcon('x'));

    c.list.Assign(&x);
    EXPECT_EQ(c.all(), QList<QByteArray>{tinyIcon('x')});
    // One of its own icons works as a source too.
    c.list.Assign(c.list.Items(0));
    EXPECT_EQ(c.all(), QList<QByteArray>{tinyIcon('x')});

    TOther other;
    const int before = c.changes;
    EXPECT_THROW(c.list.Assign(&other), EAssignError);
    EXPECT_EQ(c.all(), QList<QByteArray>{tinyIcon('x')});
    EXPECT_EQ(c.changes, before);

    c.list.Assign(nullptr);
    EXPECT_EQ(c.list.Count(), 0);
}

TEST(TIconListData, RoundTripsNullAndEmptyEntriesAsSizeZero) {
    TIconList list;
    TIcon a;
    a.LoadFromBytes(tinyIcon('a', 8, 10));
    list.Add(&a);
    list.Add(nullptr); // an empty icon
    list.Add(&a);
    const QByteArray data = written(list);
    const QByteArray entry = tinyIcon('a', 8, 10);
    EXPECT_EQ(data,
              int32(3) + int32(entry.size()) + entry + int32(0) + int32(entry.size()) + entry);
    TIconList back;
    read(back, data);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.Items(0)->SaveToBytes(), entry);
    EXPECT_EQ(back.Items(1), nullptr);
    EXPECT_EQ(written(back), data);
    EXPECT_TRUE(list.HasData());
    EXPECT_FALSE(TIconList().HasData());
    EXPECT_EQ(written(TIconList()), int32(0));
}

TEST(TIconListData, ZeroOrNegativeCountReadsAsEmpty) {
    for (qint32 count : {0, -1, -2147483647 - 1}) {
        CountedList c(2);
        read(c.list, int32(count) + QByteArray("ignored"));
        EXPECT_EQ(c.list.Count(), 0) << count;
        EXPECT_EQ(c.changes, 1);
    }
}

TEST(TIconListData, BrokenDataRaisesKeepsWhatWasReadAndRaisesOneChange) {
    const QByteArray good = int32(tinyIcon('g').size()) + tinyIcon('g');
    const QByteArray cases[] = {
        QByteArray("\1\0"),                               // count cut off
        int32(3) + good + int32(40) + tinyIcon('h'),      // entry cut off
        int32(2) + good + int32(0x7fffffff),              // absurd size
        int32(2) + good + int32(5) + QByteArray("hello"), // not an icon
        int32(4) + good + int32(0),                       // fewer entries than counted
    };
    for (const QByteArray& data : cases) {
        CountedList c(3);
        EXPECT_ANY_THROW(read(c.list, data));
        EXPECT_EQ(c.changes, 1);
        if (c.list.Count() > 0) {
            EXPECT_EQ(c.bytes(0), tinyIcon('g'));
        }
    }
}

TEST(ShippedFrames, ReadBackAsFiveIconsTheFirstTwoTheStillIcon) {
    const QByteArray data = shippedFrames();
    ASSERT_EQ(data.size(), 5464);
    TIconList frames;
    read(frames, data);
    ASSERT_EQ(frames.Count(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const QByteArray saved = frames.Items(i)->SaveToBytes();
        ASSERT_EQ(saved.size(), 1088);
        EXPECT_EQ(qFromLittleEndian<qint32>(data.constData() + 4 + i * 1092), 1088);
        // Laid out like the still icon: same directory, 10 bytes after it.
        EXPECT_EQ(saved.left(38), stillIcon().left(38));
        if (i < 2) {
            EXPECT_EQ(saved.left(1078), stillIcon());
        } else {
            EXPECT_EQ(saved, frames.Items(2)->SaveToBytes());
        }
    }
    EXPECT_NE(frames.Items(2)->SaveToBytes().left(1078), stillIcon());
    EXPECT_EQ(written(frames), data);

    // The full tray shows yellow letters; the empty one has none.
    const QImage full = frames.Items(2)->ToQIcon().pixmap(32, 32).toImage();
    int yellow = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            yellow += full.pixel(x, y) == qRgb(255, 255, 0);
    EXPECT_GT(yellow, 100);
}

TEST(TIconList, MissingResourceGivesAnEmptyIcon) {
    TIconList list;
    EXPECT_EQ(list.AddResource(QStringLiteral(":/pingbox/icons/none.ico")), 0);
    ASSERT_NE(list.Items(0), nullptr);
    EXPECT_TRUE(list.Items(0)->Empty());
    list.InsertResource(0, QStringLiteral(":/pingbox/icons/tray.ico"));
    EXPECT_EQ(list.Items(0)->SaveToBytes(), stillIcon());
}

} // namespace
