#include "CheckCycle.h"

#include "MailHost.h"
#include "POPControl.h"
#include "POPErrors.h"

namespace mail {

void StartCheck(POPControl& pop, MailHost& host) {
    if (pop.State() == popConnected && pop.ProtocolState() == popLoggedIn && !pop.Busy()) {
        pop.RefreshMessageCount();
        return;
    }
    if (pop.State() == popClosed) {
        const LoginSettings login = host.Login();
        const auto method = parseLoginMethod(login.auth);
        if (!method) {
            host.ReportCheckError(popErrAuthSetting, QStringLiteral("Auth=") + login.auth);
            return;
        }
        pop.SetMethod(*method);
        pop.SetRemoteHost(host.ServerText());
        pop.SetUserId(host.UserNameText());
        pop.SetPassword(host.PasswordText());
        try {
            pop.Connect();
        } catch (...) {
            // A connection that fails later arrives as the control's error
            // event; a refusal to start is dropped without a word.
        }
    }
}

void CheckWithProgress(POPControl& pop, MailHost& host) {
    host.ShowProgressModal();
    StartCheck(pop, host);
}

} // namespace mail
