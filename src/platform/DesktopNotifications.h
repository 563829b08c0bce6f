#pragma once

#include <QtCore/QString>

#include <cstdint>
#include <functional>

// The desktop's notification service: bubbles with buttons that the user
// may click, replace, and withdraw again.
class DesktopNotifications {
public:
    virtual ~DesktopNotifications() = default;

    // Whether a service is there that shows buttons on its notifications.
    virtual bool OffersActions() = 0;
    // Whether the user has asked the desktop to keep quiet, where it says so.
    virtual bool Inhibited() = 0;
    // Shows a notification with one button, or replaces the one with the id
    // replacesId (0: none). Returns its id, or 0 when it could not be shown.
    virtual std::uint32_t Notify(std::uint32_t replacesId, const QString& summary,
                                 const QString& actionKey, const QString& actionLabel) = 0;
    virtual void Close(std::uint32_t id) = 0;

    // A button was clicked; the notification was closed, by anyone.
    std::function<void(std::uint32_t id, const QString& actionKey)> OnActionInvoked;
    std::function<void(std::uint32_t id)> OnClosed;
};
