// The notification backend against python3-dbusmock's notification service
// on the private session bus: the calls it makes and the signals it hears.
#include "platform/qt/DBusNotifications.h"

#include <QtCore/QProcess>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVariant>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

// The mock service, with the capabilities given, for the length of a test.
class MockNotifications {
public:
    explicit MockNotifications(const QString& capabilities) {
        process.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-m"), QStringLiteral("dbusmock"),
                       QStringLiteral("--template"), QStringLiteral("notification_daemon"),
                       QStringLiteral("-p"),
                       QStringLiteral("{\"capabilities\": \"%1\"}").arg(capabilities)});
        started = QTest::qWaitFor(
            [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(Service); },
            15000);
    }
    ~MockNotifications() {
        process.terminate();
        process.waitForFinished(5000);
        static_cast<void>(QTest::qWaitFor(
            [] { return !QDBusConnection::sessionBus().interface()->isServiceRegistered(Service); },
            5000));
    }
    void Mock(const QString& method, const QVariantList& args) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            Service, Path, QStringLiteral("org.freedesktop.DBus.Mock"), method);
        call.setArguments(args);
        QDBusConnection::sessionBus().call(call);
    }
    QProcess process;
    bool started = false;
};

TEST(NotificationsDBus, NotifiesReplacesClosesAndHearsTheButtonOfItsOwnOnly) {
    MockNotifications mock(QStringLiteral("body actions"));
    ASSERT_TRUE(mock.started);
    DBusNotifications service;
    QList<std::pair<std::uint32_t, QString>> actions;
    QList<std::uint32_t> closed;
    service.OnActionInvoked = [&](std::uint32_t id, const QString& key) {
        actions.append({id, key});
    };
    service.OnClosed = [&](std::uint32_t id) { closed.append(id); };

    EXPECT_TRUE(service.OffersActions());
    EXPECT_FALSE(service.Inhibited()); // no such property: not KDE
    const std::uint32_t id = service.Notify(0, "You have 3 Messages", "start-viewer", "Start");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(service.Notify(id, "You have 4 Messages", "start-viewer", "Start"), id);

    mock.Mock(QStringLiteral("EmitSignal"),
              {Service, QStringLiteral("ActionInvoked"), QStringLiteral("us"),
               QVariantList{uint(id), QStringLiteral("start-viewer")}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !actions.isEmpty(); }, 5000));
    EXPECT_EQ(actions.first(), std::make_pair(id, QStringLiteral("start-viewer")));

    service.Close(id);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closed.isEmpty(); }, 5000));
    EXPECT_EQ(closed.first(), id);

    mock.Mock(QStringLiteral("AddProperty"),
              {Service, QStringLiteral("Inhibited"), QVariant::fromValue(QDBusVariant(true))});
    EXPECT_TRUE(service.Inhibited());
}

TEST(NotificationsDBus, AServiceWithoutButtonsDoesNotCount) {
    MockNotifications mock(QStringLiteral("body body-markup"));
    ASSERT_TRUE(mock.started);
    DBusNotifications service;
    EXPECT_FALSE(service.OffersActions());
}

} // namespace
