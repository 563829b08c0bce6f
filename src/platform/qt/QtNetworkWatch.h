#pragma once

#include "platform/NetworkWatch.h"

#include <QtCore/QObject>

// Qt's network information: NetworkManager's view over the system bus where
// it runs, else GLib's network monitor; Unknown without a system bus.
class QtNetworkWatch : public QObject, public NetworkWatch {
    Q_OBJECT
public:
    explicit QtNetworkWatch(QObject* parent = nullptr);

    NetworkReach Reach() const override;
    // The backend's name, empty when none could be loaded.
    QString Backend() const;
};
