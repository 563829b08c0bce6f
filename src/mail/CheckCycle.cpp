#include "CheckCycle.h"

#include "MailHost.h"
#include "pop/Credentials.h"
#include "pop/POPControl.h"
#include "pop/POPErrors.h"

namespace mail {

void StartCheck(POPControl& pop, MailHost& host) {
    if (pop.State() == popConnected && pop.ProtocolState() == popLoggedIn && !pop.Busy()) {
        pop.RefreshMessageCount();
        return;
    }
    // A password command still running belongs to a check already started.
    Credentials& credentials = host.CheckCredentials();
    if (pop.State() != popClosed || credentials.Pending())
        return;
    const LoginSettings login = host.Login();
    const auto method = parseLoginMethod(login.auth);
    if (!method) {
        host.ReportCheckError(popErrAuthSetting, QStringLiteral("Auth=") + login.auth);
        return;
    }
    credentials.Obtain(login, host.ServerText(), host.UserNameText(), host.PasswordText(),
                       [&pop, &host, method = *method, server = host.ServerText(),
                        user = host.UserNameText()](const Credentials::Result& result) {
                           if (result.error) {
                               host.ReportCheckError(result.error, result.detail);
                               return;
                           }
                           if (pop.State() != popClosed)
                               return;
                           pop.SetMethod(method);
                           pop.SetRemoteHost(server);
                           pop.SetUserId(user);
                           pop.SetPassword(result.secret);
                           try {
                               pop.Connect();
                           } catch (...) {
                               // A connection that fails later arrives as the
                               // control's error event; a refusal to start is
                               // dropped without a word.
                           }
                       });
}

void CheckWithProgress(POPControl& pop, MailHost& host) {
    host.ShowProgressModal();
    StartCheck(pop, host);
}

} // namespace mail
