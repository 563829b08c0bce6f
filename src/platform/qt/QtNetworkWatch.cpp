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
    // Without a system bus (no NetworkManager, no logind: hardly a laptop)
    // GLib's monitor is not worth the thread and the GIO it brings.
    if (!systemBusIfThere())
        return false;
    return QNetworkInformation::loadBackendByName(u"networkmanager") ||
           QNetworkInformation::loadBackendByName(u"glib");
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
