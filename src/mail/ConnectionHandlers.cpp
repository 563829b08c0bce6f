#include "ConnectionHandlers.h"

#include "MailHost.h"
#include "platform/Dialogs.h"
#include "pop/POPControl.h"
#include "pop/POPErrors.h"

QString ConnectionTexts::Connecting(const QString& host) {
    return QStringLiteral("Connecting to POP server: ") + host + QStringLiteral("...");
}
QString ConnectionTexts::Connected(const QString& host) {
    return QStringLiteral("Connected to POP server: ") + host;
}
QString ConnectionTexts::Disconnecting(const QString& host) {
    return QStringLiteral("Disconnecting from POP server: ") + host + QStringLiteral("...");
}
QString ConnectionTexts::Waiting(const QString& host) {
    return QStringLiteral("Waiting to check email on: ") + host;
}
QString ConnectionTexts::Authorized(const QString& user, const QString& server) {
    return QStringLiteral("User %1 authorized on server %2").arg(user, server);
}

namespace mail {

void POP1StateChanged(POPControl& pop, MailHost& host, std::int16_t State) {
    using namespace ConnectionTexts;
    switch (State) {
    case popConnecting:
        host.SetStatus(Connecting(pop.RemoteHost()));
        break;
    case popResolvingHost:
        host.SetStatus(ResolvingHost);
        break;
    case popHostResolved:
        host.SetStatus(HostResolved);
        break;
    case popConnected:
        host.SetStatus(Connected(pop.RemoteHost()));
        host.SetOKCaption(Disconnect);
        break;
    case popDisconnecting:
        host.SetStatus(Disconnecting(pop.RemoteHost()));
        break;
    case popClosed:
        host.SetStatus(Waiting(pop.RemoteHost()));
        host.SetOKCaption(OK);
        break;
    default:
        break;
    }
    host.SetConnectionFieldsEnabled(State != popConnected);
}

void POP1ProtocolStateChanged(POPControl& pop, MailHost& host, std::int16_t ProtocolState) {
    if (ProtocolState == popAwaitingLogin) {
        try {
            pop.Authenticate(pop.UserId(), pop.Password());
        } catch (...) {
            // A refused login arrives as the control's error event.
        }
    } else if (ProtocolState == popLoggedIn) {
        host.SetStatus(ConnectionTexts::Authorized(host.UserNameText(), host.ServerText()));
    }
}

} // namespace mail

namespace {

// Strips leading and trailing blanks and control characters.
QString trimmedOfControls(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

void showNumbered(MailHost& host, Dialogs& dialogs, int Number, const QString& Description,
                  const QString& detail) {
    dialogs.MessageBeep(MB_OK_SOUND);
    dialogs.MessageDlg(
        QStringLiteral("%1 - %2%3").arg(Number).arg(Description, trimmedOfControls(detail)),
        TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    host.ShowConfiguration();
}

} // namespace

namespace mail {

void POP1Error(POPControl& pop, MailHost& host, Dialogs& dialogs, std::int16_t Number,
               QString& Description, bool& CancelDisplay) {
    host.SetTrayAnimated(false);
    CancelDisplay = true;
    host.SetStatus(ConnectionTexts::Error);
    QString detail;
    const TPOPErrors& errors = pop.Errors();
    for (int i = 1; i <= errors.Count(); ++i)
        detail = QStringLiteral("\r(%1)").arg(errors.Description(i));
    switch (Number) {
    case popErrLoginRefused:
        dialogs.MessageBeep(MB_OK_SOUND);
        dialogs.MessageDlg(ConnectionTexts::InvalidLogin, TMsgDlgType::mtError,
                           TMsgDlgButtons::mbOK);
        break;
    case popErrSessionEnded:
    case popErrNoAnswer:
        break;
    case popErrUnreachable:
        if (host.ShowNetErrorText() == QStringLiteral("true"))
            host.ShowNetDialogModal();
        break;
    default:
        showNumbered(host, dialogs, Number, Description, detail);
        break;
    }
    pop.Quit();
}

void CheckNotStarted(MailHost& host, Dialogs& dialogs, int Number, const QString& detail) {
    host.SetTrayAnimated(false);
    host.SetStatus(ConnectionTexts::Error);
    showNumbered(host, dialogs, Number, popErrorDescription(Number),
                 QStringLiteral("\r(%1)").arg(detail));
}

} // namespace mail
