// The notification area's StatusNotifierItem side and its menu, seen from the
// bus as a host sees them. Runs on a private session bus (dbus-run-session).
#include "FakeStatusNotifierWatcher.h"
#include "SignalCounter.h"
#include "platform/qt/DBusMenuExporter.h"
#include "platform/qt/QtNotifyArea.h"

#include <QtCore/QBuffer>
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusPendingCall>
#include <QtGui/QImage>
#include <QtGui/QImageWriter>
#include <QtTest/QSignalSpy>
#include <QtWidgets/QMenu>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

const QString ItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString MenuInterface = QStringLiteral("com.canonical.dbusmenu");

bool waitUntil(const std::function<bool()>& condition, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QByteArray iconFile(QColor colour, int size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    writer.write(image);
    return bytes;
}

// A host's side: calls answered while our own event loop keeps running, as
// the menu lives on this thread too.
class Host {
public:
    QDBusMessage Call(const QString& service, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(args);
        QDBusPendingCall pending = bus.asyncCall(call);
        waitUntil([&] { return pending.isFinished(); });
        return pending.reply();
    }
    QVariant Property(const QString& service, const QString& path, const QString& interface,
                      const QString& name) {
        const QDBusMessage reply =
            Call(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("Get"), {interface, name});
        return reply.arguments().isEmpty()
                   ? QVariant()
                   : reply.arguments().first().value<QDBusVariant>().variant();
    }
    bool OnBus(const QString& service) { return bus.interface()->isServiceRegistered(service); }

    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("test-host"));
};

struct Window {
    explicit Window(QtNotifyArea& area) : area(area) {
        handle = area.AllocateHWnd([this](TMessage& m) {
            if (m.Msg == WM_TASKBARCREATED)
                ++taskbarCreated;
            else
                mouse.append(static_cast<std::uint32_t>(m.LParam));
            if (m.LParam == WM_RBUTTONUP)
                cursor = this->area.GetCursorPos();
        });
    }
    ~Window() { area.DeallocateHWnd(handle); }
    NOTIFYICONDATAA Data(HICON icon, const QString& tip) const {
        NOTIFYICONDATAA d;
        d.cbSize = 88;
        d.hWnd = handle;
        d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        d.uCallbackMessage = 0xB03F;
        d.hIcon = icon;
        d.szTip = tip;
        return d;
    }

    QtNotifyArea& area;
    HWND handle = 0;
    int taskbarCreated = 0;
    QList<std::uint32_t> mouse;
    QPoint cursor;
};

TEST(TrayOnDBus, ShellCallsBecomeOneItemThatFollowsTheWatcher) {
    Host host;
    QtNotifyArea area;
    Window window(area);
    QMenu menu;
    menu.addAction(QStringLiteral("&Check Email"));
    area.SetWindowMenu(window.handle, &menu);
    const HICON still = CreateIconHandle(iconFile(Qt::gray, 16));
    const HICON frame = CreateIconHandle(iconFile(Qt::yellow, 16));

    // No watcher on the bus: no tray, adds fail.
    EXPECT_EQ(area.TrayProtocol(), QtNotifyArea::Protocol::None);
    EXPECT_FALSE(area.Shell_NotifyIconA(NIM_ADD, window.Data(still, QStringLiteral("tip"))));

    // A watcher without a host is no tray either; its host registering is.
    auto watcher = std::make_unique<FakeStatusNotifierWatcher>(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(area.TrayProtocol(), QtNotifyArea::Protocol::None);
    watcher->SetHost(true);
    ASSERT_TRUE(waitUntil([&] { return window.taskbarCreated == 1; }));
    EXPECT_EQ(area.TrayProtocol(), QtNotifyArea::Protocol::DBus);

    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, window.Data(still, QStringLiteral("3 Messages"))));
    ASSERT_TRUE(waitUntil([&] { return watcher->Registrations() == 1; }));
    const QString item = area.ItemService(window.handle, 0);
    ASSERT_FALSE(item.isEmpty());
    EXPECT_EQ(watcher->Items(), QStringList{item});
    const QString path = QStringLiteral("/StatusNotifierItem");
    EXPECT_EQ(host.Property(item, path, ItemInterface, QStringLiteral("Status")).toString(),
              QStringLiteral("Active"));
    EXPECT_EQ(host.Property(item, path, ItemInterface, QStringLiteral("Id")).toString(),
              QStringLiteral("pingbox"));
    EXPECT_EQ(host.Property(item, path, ItemInterface, QStringLiteral("Menu"))
                  .value<QDBusObjectPath>()
                  .path(),
              QStringLiteral("/MenuBar"));
    const auto tip = qdbus_cast<DBusTrayToolTip>(
        host.Property(item, path, ItemInterface, QStringLiteral("ToolTip")));
    EXPECT_EQ(tip.title, QStringLiteral("3 Messages"));
    const auto pixmaps = qdbus_cast<DBusTrayPixmaps>(
        host.Property(item, path, ItemInterface, QStringLiteral("IconPixmap")));
    ASSERT_EQ(pixmaps.size(), 1);
    EXPECT_EQ(pixmaps[0].width, 16);
    ASSERT_EQ(pixmaps[0].bytes.size(), 16 * 16 * 4);
    // ARGB in network order: opaque grey is FF A0 A0 A4 (Qt::gray).
    EXPECT_EQ(pixmaps[0].bytes.left(4), QByteArray::fromHex("ffa0a0a4"));

    // A new frame and a new tip are announced.
    SignalCounter newIcon, newTip;
    ASSERT_TRUE(host.bus.connect(item, path, ItemInterface, QStringLiteral("NewIcon"), &newIcon,
                                 SLOT(hit())));
    ASSERT_TRUE(host.bus.connect(item, path, ItemInterface, QStringLiteral("NewToolTip"), &newTip,
                                 SLOT(hit())));
    ASSERT_TRUE(
        area.Shell_NotifyIconA(NIM_MODIFY, window.Data(frame, QStringLiteral("4 Messages"))));
    ASSERT_TRUE(waitUntil([&] {
        return qdbus_cast<DBusTrayPixmaps>(
                   host.Property(item, path, ItemInterface, QStringLiteral("IconPixmap")))
                   .value(0)
                   .bytes.left(4) == QByteArray::fromHex("ffffff00");
    }));
    EXPECT_EQ(qdbus_cast<DBusTrayToolTip>(
                  host.Property(item, path, ItemInterface, QStringLiteral("ToolTip")))
                  .title,
              QStringLiteral("4 Messages"));
    EXPECT_TRUE(waitUntil([&] { return newIcon.count == 1 && newTip.count == 1; }));
    // The same frame again is no news.
    ASSERT_TRUE(
        area.Shell_NotifyIconA(NIM_MODIFY, window.Data(frame, QStringLiteral("4 Messages"))));
    host.Property(item, path, ItemInterface, QStringLiteral("Id"));
    EXPECT_EQ(newIcon.count, 1);
    // What GNOME's host reads after every NewIcon: the tooltip's text.
    for (const char* name : {"IconAccessibleDesc", "AttentionAccessibleDesc"})
        EXPECT_EQ(host.Property(item, path, ItemInterface, QLatin1String(name)).toString(),
                  QStringLiteral("4 Messages"));

    // A frame seen before reaches the item from another thread, and hosts are
    // answered, while this (the GUI) thread never returns to its event loop.
    std::thread([&] {
        area.Shell_NotifyIconA(NIM_MODIFY, window.Data(still, QStringLiteral("4 Messages")));
    }).join();
    QDBusMessage get = QDBusMessage::createMethodCall(
        item, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << ItemInterface << QStringLiteral("IconPixmap");
    const QDBusMessage reply = host.bus.call(get, QDBus::Block, 3000);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(qdbus_cast<DBusTrayPixmaps>(reply.arguments()[0].value<QDBusVariant>().variant())
                  .value(0)
                  .bytes.left(4),
              QByteArray::fromHex("ffa0a0a4"));
    EXPECT_TRUE(waitUntil([&] { return newIcon.count == 2; }));

    // The host's clicks: Activate is the double click, ContextMenu the right
    // button at the host's point, SecondaryActivate the middle button. Each
    // call is answered before the program acts on it.
    host.Call(item, path, ItemInterface, QStringLiteral("Activate"), {1, 2});
    ASSERT_TRUE(waitUntil([&] { return window.mouse.size() == 3; }));
    EXPECT_EQ(window.mouse, (QList<std::uint32_t>{WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    window.mouse.clear();
    host.Call(item, path, ItemInterface, QStringLiteral("ContextMenu"), {30, 40});
    host.Call(item, path, ItemInterface, QStringLiteral("SecondaryActivate"), {0, 0});
    ASSERT_TRUE(waitUntil([&] { return window.mouse.size() == 2; }));
    EXPECT_EQ(window.mouse, (QList<std::uint32_t>{WM_RBUTTONUP, WM_MBUTTONUP}));
    EXPECT_EQ(window.cursor, QPoint(30, 40));

    // The tray shows its icon anew with a delete and add pair: the item stays
    // as it is, and the host sees nothing go and come.
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_DELETE, window.Data(still, {})));
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, window.Data(still, QStringLiteral("tip"))));
    host.Property(item, path, ItemInterface, QStringLiteral("Id"));
    QCoreApplication::processEvents();
    EXPECT_EQ(area.ItemService(window.handle, 0), item);
    EXPECT_TRUE(host.OnBus(item));
    EXPECT_EQ(watcher->Registrations(), 1);

    // The watcher restarts: the icons are gone with it, and the new one is
    // told of the icon when the tray adds it again.
    watcher.reset();
    ASSERT_TRUE(waitUntil([&] { return area.TrayProtocol() == QtNotifyArea::Protocol::None; }));
    EXPECT_FALSE(area.Shell_NotifyIconA(NIM_MODIFY, window.Data(still, {})));
    EXPECT_TRUE(waitUntil([&] { return !host.OnBus(item); }));
    watcher = std::make_unique<FakeStatusNotifierWatcher>(true);
    ASSERT_TRUE(waitUntil([&] { return window.taskbarCreated == 2; }));
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, window.Data(still, QStringLiteral("tip"))));
    ASSERT_TRUE(waitUntil([&] { return watcher->Items().size() == 1; }));
    const QString again = area.ItemService(window.handle, 0);

    // A host that registers anew with the same watcher: items register again.
    watcher->SetHost(true);
    EXPECT_TRUE(waitUntil([&] { return watcher->Registrations() == 2; }));

    // A delete not followed by an add takes the item off the bus.
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_DELETE, window.Data(still, {})));
    EXPECT_TRUE(waitUntil([&] { return !host.OnBus(again); }));
    EXPECT_TRUE(area.ItemService(window.handle, 0).isEmpty());
    DestroyIconHandle(still);
    DestroyIconHandle(frame);
}

TEST(DBusMenuExporter, LabelsTakeTheProtocolsAccelerators) {
    EXPECT_EQ(DBusMenuExporter::DBusLabel(QStringLiteral("&Check Email")),
              QStringLiteral("_Check Email"));
    EXPECT_EQ(DBusMenuExporter::DBusLabel(QStringLiteral("C&onfigure")),
              QStringLiteral("C_onfigure"));
    EXPECT_EQ(DBusMenuExporter::DBusLabel(QStringLiteral("Fish && Chips_2&")),
              QStringLiteral("Fish & Chips__2"));
}

TEST(DBusMenuExporter, TheMenuOnTheBusRunsTheSameActions) {
    Host host;
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("menu-owner"));
    QMenu menu;
    QAction* check = menu.addAction(QStringLiteral("&Check Email"));
    menu.addSeparator();
    QAction* close = menu.addAction(QStringLiteral("Clos&e"));
    close->setEnabled(false);
    QObject carrier;
    auto* exporter = new DBusMenuExporter(&carrier, &menu);
    ASSERT_TRUE(
        bus.registerObject(QStringLiteral("/MenuBar"), &carrier, QDBusConnection::ExportAdaptors));
    const QString owner = bus.baseService();
    const QString path = QStringLiteral("/MenuBar");

    const QDBusMessage reply =
        host.Call(owner, path, MenuInterface, QStringLiteral("GetLayout"), {0, -1, QStringList()});
    ASSERT_EQ(reply.arguments().size(), 2) << reply.errorMessage().toStdString();
    const auto layout = qdbus_cast<DBusMenuLayout>(reply.arguments()[1]);
    ASSERT_EQ(layout.children.size(), 3);
    EXPECT_EQ(layout.children[0].properties.value(QStringLiteral("label")).toString(),
              QStringLiteral("_Check Email"));
    EXPECT_EQ(layout.children[1].properties.value(QStringLiteral("type")).toString(),
              QStringLiteral("separator"));
    EXPECT_FALSE(layout.children[2].properties.value(QStringLiteral("enabled")).toBool());
    const int checkId = layout.children[0].id;
    const int closeId = layout.children[2].id;

    // Chosen items run once the call is answered; a disabled one never.
    int checks = 0, closes = 0;
    QObject::connect(check, &QAction::triggered, [&] { ++checks; });
    QObject::connect(close, &QAction::triggered, [&] { ++closes; });
    host.Call(owner, path, MenuInterface, QStringLiteral("Event"),
              {checkId, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    host.Call(owner, path, MenuInterface, QStringLiteral("Event"),
              {closeId, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    EXPECT_TRUE(waitUntil([&] { return checks == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(closes, 0);

    // Changes reach the host as the protocol's signals.
    QSignalSpy properties(exporter, &DBusMenuExporter::ItemsPropertiesUpdated);
    QSignalSpy layoutUpdated(exporter, &DBusMenuExporter::LayoutUpdated);
    SignalCounter onBus;
    ASSERT_TRUE(host.bus.connect(owner, path, MenuInterface,
                                 QStringLiteral("ItemsPropertiesUpdated"), &onBus, SLOT(hit())));
    ASSERT_TRUE(host.bus.connect(owner, path, MenuInterface, QStringLiteral("LayoutUpdated"),
                                 &onBus, SLOT(hit())));
    close->setEnabled(true);
    EXPECT_TRUE(waitUntil([&] { return onBus.count == 1; }));
    ASSERT_EQ(properties.size(), 1);
    const auto updated = properties[0][0].value<DBusMenuItems>();
    ASSERT_EQ(updated.size(), 1);
    EXPECT_EQ(updated[0].id, closeId);
    EXPECT_TRUE(updated[0].properties.value(QStringLiteral("enabled")).toBool());
    menu.addAction(QStringLiteral("&Read Email"));
    EXPECT_EQ(layoutUpdated.size(), 1);
    EXPECT_TRUE(waitUntil([&] { return onBus.count == 2; }));
    const QDBusMessage group = host.Call(
        owner, path, MenuInterface, QStringLiteral("GetGroupProperties"),
        {QVariant::fromValue(QList<int>{closeId, 999}), QStringList{QStringLiteral("label")}});
    const auto items = qdbus_cast<DBusMenuItems>(group.arguments().value(0));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].properties,
              (QVariantMap{{QStringLiteral("label"), QStringLiteral("Clos_e")}}));
    bus.unregisterObject(path);
    QDBusConnection::disconnectFromBus(QStringLiteral("menu-owner"));
}

} // namespace
