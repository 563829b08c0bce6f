#pragma once

#include <QtCore/QString>

#include <cstdint>
#include <functional>

class DesktopNotifications;

namespace notify {

// Where the choice between the new-mail question and a notification is kept.
namespace NotifySetting {
inline const QString Section = QStringLiteral("Options");
inline const QString Ident = QStringLiteral("Notify");
inline const QString Bubble = QStringLiteral("bubble");
} // namespace NotifySetting

// The new-mail notification that stands in for the question when the user
// chose it: one at a time, replaced when the count changes, withdrawn when
// the mailbox is empty. Its button does what Yes does.
class NewMailBubble {
public:
    explicit NewMailBubble(DesktopNotifications& service);
    ~NewMailBubble();
    NewMailBubble(const NewMailBubble&) = delete;
    NewMailBubble& operator=(const NewMailBubble&) = delete;

    // Whether a service is there that can show the button.
    bool Available();
    // Whether the desktop is in do-not-disturb mode.
    bool Quiet();
    // Whether count is news: not the count of the notification shown last,
    // which the user may have closed since.
    bool IsNews(std::int32_t count) const { return count != shownCount_; }
    // Shows or replaces the notification; false when the service refused.
    bool Show(std::int32_t count);
    // The mailbox is empty: the notification goes.
    void Withdraw();

    std::function<void()> OnStartViewer;

private:
    DesktopNotifications& service_;
    std::uint32_t id_ = 0;
    std::int32_t shownCount_ = 0;
};

} // namespace notify
