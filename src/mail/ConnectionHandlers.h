#pragma once

#include <QtCore/QString>

#include <cstdint>

class Dialogs;
class MailHost;
class POPControl;

// Texts of the status line and the error boxes.
namespace ConnectionTexts {
QString Connecting(const QString& host);
inline const QString ResolvingHost = QStringLiteral("Resolving Host");
inline const QString HostResolved = QStringLiteral("Host Resolved");
QString Connected(const QString& host);
QString Disconnecting(const QString& host);
QString Waiting(const QString& host);
QString Authorized(const QString& user, const QString& server);
inline const QString Error = QStringLiteral("Error!");
inline const QString InvalidLogin = QStringLiteral("Invalid Username or Password");
inline const QString Disconnect = QStringLiteral("Disconnect");
inline const QString OK = QStringLiteral("OK");
} // namespace ConnectionTexts

// The POP client's connection events, handled for the window that hosts it.
namespace mail {

void POP1StateChanged(POPControl& pop, MailHost& host, std::int16_t State);
void POP1ProtocolStateChanged(POPControl& pop, MailHost& host, std::int16_t ProtocolState);
void POP1Error(POPControl& pop, MailHost& host, Dialogs& dialogs, std::int16_t Number,
               QString& Description, bool& CancelDisplay);
// A check that could not start: the status line, then the error box as for
// the control's numbered errors.
void CheckNotStarted(MailHost& host, Dialogs& dialogs, int Number, const QString& detail);

} // namespace mail
