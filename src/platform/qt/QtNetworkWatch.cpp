#include "QtNetworkWatch.h"

#include "Buses.h"

#include <QtNetwork/QNetworkInformation>

namespace {

NetworkReach reachOf(QNetworkInformation::Reachability reachability) {
    switch (reachability) {
    case QNetworkInformation::Reachability::Unknown:
        return NetworkReach::Unknown;
    case QNetworkInformation::Reachability::Online:
        return NetworkReach::Online;
    default:
        return NetworkReach::Offline;
    }
}

bool loadBackend() {
    if (QNetworkInformation::instance())
        return true;
    // NetworkManager's backend asks the system bus; without one, only GLib's.
    if (systemBusIfThere() && QNetworkInformation::loadBackendByName(u"networkmanager"))
        return true;
    return QNetworkInformation::loadBackendByName(u"glib");
}

} // namespace

QtNetworkWatch::QtNetworkWatch(QObject* parent) : QObject(parent) {
    if (!loadBackend())
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                if (OnReachChanged)
                    OnReachChanged(reachOf(reachability));
            });
}

NetworkReach QtNetworkWatch::Reach() const {
    const QNetworkInformation* info = QNetworkInformation::instance();
    return info ? reachOf(info->reachability()) : NetworkReach::Unknown;
}

QString QtNetworkWatch::Backend() const {
    const QNetworkInformation* info = QNetworkInformation::instance();
    return info ? info->backendName() : QString();
}
