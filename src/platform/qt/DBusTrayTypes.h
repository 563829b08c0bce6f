#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariantMap>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusVariant>

class QIcon;

// The structures of the StatusNotifierItem and com.canonical.dbusmenu
// protocols as QtDBus marshals them.

// One picture: width, height, ARGB32 in network byte order. (iiay)
struct DBusTrayPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
    bool operator==(const DBusTrayPixmap&) const = default;
};
using DBusTrayPixmaps = QList<DBusTrayPixmap>;

// (sa(iiay)ss): icon name, pictures, title, text.
struct DBusTrayToolTip {
    QString iconName;
    DBusTrayPixmaps pixmaps;
    QString title;
    QString text;
};

// (ia{sv}): one menu item's properties.
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItems = QList<DBusMenuItem>;

// (ias): properties of an item gone back to their defaults.
struct DBusMenuItemKeys {
    int id = 0;
    QStringList properties;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// (ia{sv}av): an item with its children, each child wrapped in a variant.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};

// (isvu): one event of EventGroup.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEvents = QList<DBusMenuEvent>;

Q_DECLARE_METATYPE(DBusTrayPixmap)
Q_DECLARE_METATYPE(DBusTrayToolTip)
Q_DECLARE_METATYPE(DBusMenuItem)
Q_DECLARE_METATYPE(DBusMenuItemKeys)
Q_DECLARE_METATYPE(DBusMenuLayout)
Q_DECLARE_METATYPE(DBusMenuEvent)

QDBusArgument& operator<<(QDBusArgument& a, const DBusTrayPixmap& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusTrayPixmap& v);
QDBusArgument& operator<<(QDBusArgument& a, const DBusTrayToolTip& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusTrayToolTip& v);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItem& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItem& v);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemKeys& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemKeys& v);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuLayout& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuLayout& v);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuEvent& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuEvent& v);

// Makes the types above known to QtDBus; safe to call more than once.
void registerDBusTrayTypes();

// Every picture of an icon in the protocol's form, smallest first.
DBusTrayPixmaps dbusTrayPixmaps(const QIcon& icon);
