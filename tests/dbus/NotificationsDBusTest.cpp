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

// Notify, its replacement, the button's signal and the withdrawal are tried
// end to end (tests/e2e/wake); here, what decides between bubble and question.
TEST(NotificationsDBus, ButtonsAndDoNotDisturbAsTheServiceTellsThem) {
    MockNotifications withButtons(QStringLiteral("body actions"));
    ASSERT_TRUE(withButtons.started);
    DBusNotifications service;
    EXPECT_TRUE(service.OffersActions());
    EXPECT_FALSE(service.Inhibited()); // no such property: not KDE
    withButtons.Mock(QStringLiteral("AddProperty"), {Service, QStringLiteral("Inhibited"),
                                                     QVariant::fromValue(QDBusVariant(true))});
    EXPECT_TRUE(service.Inhibited());
}

TEST(NotificationsDBus, AServiceWithoutButtonsDoesNotCount) {
    MockNotifications withoutButtons(QStringLiteral("body body-markup"));
    ASSERT_TRUE(withoutButtons.started);
    EXPECT_FALSE(DBusNotifications().OffersActions());
}

} // namespace
