#pragma once

#include "platform/DesktopNotifications.h"

#include <QtCore/QStringList>

// A notification service whose answers the test sets; records each call as
// "Notify <replacesId> <summary> [<key> <label>]" or "Close <id>".
class FakeDesktopNotifications : public DesktopNotifications {
public:
    bool OffersActions() override { return present && actions; }
    bool Inhibited() override { return inhibited; }
    std::uint32_t Notify(std::uint32_t replacesId, const QString& summary, const QString& actionKey,
                         const QString& actionLabel) override {
        calls << QStringLiteral("Notify %1 %2 [%3 %4]")
                     .arg(replacesId)
                     .arg(summary, actionKey, actionLabel);
        lastActionKey = actionKey;
        if (refuse)
            return 0;
        return replacesId != 0 ? replacesId : nextId++;
    }
    void Close(std::uint32_t id) override { calls << QStringLiteral("Close %1").arg(id); }

    void Click(std::uint32_t id) {
        if (OnActionInvoked)
            OnActionInvoked(id, lastActionKey);
    }
    void Closed(std::uint32_t id) {
        if (OnClosed)
            OnClosed(id);
    }

    bool present = true, actions = true, inhibited = false, refuse = false;
    std::uint32_t nextId = 7;
    QString lastActionKey;
    QStringList calls;
};
