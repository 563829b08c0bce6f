#include "NewMailBubble.h"

#include "NewMailAlert.h"
#include "platform/DesktopNotifications.h"

namespace notify {

namespace {
const QString StartViewerAction = QStringLiteral("start-viewer");
}

NewMailBubble::NewMailBubble(DesktopNotifications& service) : service_(service) {
    service_.OnActionInvoked = [this](std::uint32_t id, const QString& action) {
        // Other programs' notifications share the signal.
        if (id == id_ && id != 0 && action == StartViewerAction && OnStartViewer)
            OnStartViewer();
    };
    service_.OnClosed = [this](std::uint32_t id) {
        if (id == id_)
            id_ = 0;
    };
}

NewMailBubble::~NewMailBubble() {
    service_.OnActionInvoked = nullptr;
    service_.OnClosed = nullptr;
}

bool NewMailBubble::Available() {
    return service_.OffersActions();
}

bool NewMailBubble::Quiet() {
    return service_.Inhibited();
}

bool NewMailBubble::Show(std::int32_t count) {
    const std::uint32_t id = service_.Notify(id_, AlertTexts::YouHaveMessages(count),
                                             StartViewerAction, AlertTexts::StartEMailViewer);
    if (id == 0)
        return false;
    id_ = id;
    shownCount_ = count;
    return true;
}

void NewMailBubble::Withdraw() {
    if (id_ != 0)
        service_.Close(id_);
    id_ = 0;
    shownCount_ = 0;
}

} // namespace notify
