#include "DBusTrayTypes.h"

#include <QtCore/QtEndian>
#include <QtDBus/QDBusMetaType>
#include <QtGui/QIcon>
#include <QtGui/QImage>

#include <algorithm>

namespace {

// A structure of plain fields, in their order.
template <typename... Fields>
QDBusArgument& writeStructure(QDBusArgument& a, const Fields&... fields) {
    a.beginStructure();
    (a << ... << fields);
    a.endStructure();
    return a;
}

template <typename... Fields>
const QDBusArgument& readStructure(const QDBusArgument& a, Fields&... fields) {
    a.beginStructure();
    (a >> ... >> fields);
    a.endStructure();
    return a;
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& a, const DBusTrayPixmap& v) {
    return writeStructure(a, v.width, v.height, v.bytes);
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusTrayPixmap& v) {
    return readStructure(a, v.width, v.height, v.bytes);
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusTrayToolTip& v) {
    return writeStructure(a, v.iconName, v.pixmaps, v.title, v.text);
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusTrayToolTip& v) {
    return readStructure(a, v.iconName, v.pixmaps, v.title, v.text);
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItem& v) {
    return writeStructure(a, v.id, v.properties);
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItem& v) {
    return readStructure(a, v.id, v.properties);
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemKeys& v) {
    return writeStructure(a, v.id, v.properties);
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemKeys& v) {
    return readStructure(a, v.id, v.properties);
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuLayout& v) {
    a.beginStructure();
    a << v.id << v.properties;
    a.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout& child : v.children)
        a << QDBusVariant(QVariant::fromValue(child));
    a.endArray();
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuLayout& v) {
    a.beginStructure();
    a >> v.id >> v.properties;
    v.children.clear();
    a.beginArray();
    while (!a.atEnd()) {
        QDBusVariant child;
        a >> child;
        v.children.append(qdbus_cast<DBusMenuLayout>(child.variant()));
    }
    a.endArray();
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuEvent& v) {
    return writeStructure(a, v.id, v.eventId, v.data, v.timestamp);
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuEvent& v) {
    return readStructure(a, v.id, v.eventId, v.data, v.timestamp);
}

void registerDBusTrayTypes() {
    static const bool done = [] {
        // Signals and properties name the lists by these names.
        qRegisterMetaType<DBusTrayPixmaps>("DBusTrayPixmaps");
        qRegisterMetaType<DBusMenuItems>("DBusMenuItems");
        qRegisterMetaType<DBusMenuItemKeysList>("DBusMenuItemKeysList");
        qRegisterMetaType<DBusMenuEvents>("DBusMenuEvents");
        qDBusRegisterMetaType<DBusTrayPixmap>();
        qDBusRegisterMetaType<DBusTrayPixmaps>();
        qDBusRegisterMetaType<DBusTrayToolTip>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<DBusMenuItems>();
        qDBusRegisterMetaType<DBusMenuItemKeys>();
        qDBusRegisterMetaType<DBusMenuItemKeysList>();
        qDBusRegisterMetaType<DBusMenuLayout>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEvents>();
        return true;
    }();
    (void)done;
}

DBusTrayPixmaps dbusTrayPixmaps(const QIcon& icon) {
    QList<QSize> sizes = icon.availableSizes();
    std::sort(sizes.begin(), sizes.end(),
              [](QSize a, QSize b) { return a.width() * a.height() < b.width() * b.height(); });
    DBusTrayPixmaps result;
    for (const QSize size : sizes) {
        const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        DBusTrayPixmap pixmap{image.width(), image.height(), {}};
        pixmap.bytes.resize(qsizetype(image.width()) * image.height() * 4);
        auto* out = reinterpret_cast<quint32*>(pixmap.bytes.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *out++ = qToBigEndian(line[x]);
        }
        result.append(pixmap);
    }
    return result;
}
