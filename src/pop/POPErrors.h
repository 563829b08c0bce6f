#pragma once

#include "platform/Errors.h"

#include <QtCore/QString>

#include <cstdint>

// Error numbers TPOP raises through OnError. The program passes 1005 and 1009
// over in silence, so they carry the conditions that go away by themselves;
// 1003 and 1014 have their own windows; every other number is shown to the
// user as "number - description (detail)", so its description says what to do.
enum : std::int16_t {
    popErrUnreachable = 1003,
    popErrSessionEnded = 1005,
    popErrNoAnswer = 1009,
    popErrLoginRefused = 1014,
    popErrProtocol = 1020,
    popErrLineTooLong = 1021,
    popErrCommandRefused = 1022,
    popErrUnsendableLogin = 1023,
    popErrNoLoginMethod = 1024,
    popErrApopUserName = 1025,
    popErrTokenNeedsTls = 1026,
    popErrTlsHandshake = 1030,
    popErrAuthSetting = 1040,
    popErrPassCommandFailed = 1041,
    popErrPassCommandTimedOut = 1042,
    popErrPassCommandEmpty = 1043,
    popErrPassCommandTooMuch = 1044,
    popErrKeyringUnavailable = 1045,
    popErrKeyringRefused = 1046,
    popErrKeyringNoEntry = 1047,
    popErrKeyringWrite = 1048,
    popErrTlsCertificate = 1031,
    popErrTlsInjection = 1032,
    popErrTlsRefused = 1033,
    popErrTlsUnavailable = 1034,
    popErrTlsNotOffered = 1035,
};

struct POPErrorEntry {
    std::int16_t number;
    const char* description;
};

inline constexpr POPErrorEntry popErrorTable[] = {
    {popErrUnreachable, "The mail server cannot be reached. Check the server name and port "
                        "and the network connection."},
    {popErrSessionEnded, "The mail server ended the session or is busy for now. The next check "
                         "tries again."},
    {popErrNoAnswer, "The mail server stopped answering. The next check tries again."},
    {popErrLoginRefused, "The mail server refused the user name or password."},
    {popErrProtocol, "The mail server sent a reply that is not POP3. Check that the server name "
                     "and port lead to a POP3 server."},
    {popErrLineTooLong, "The mail server sent a reply line far longer than POP3 allows. Check that "
                        "the server name and port lead to a POP3 server."},
    {popErrCommandRefused, "The mail server refused a request. Its reply follows; the server's "
                           "administrator can tell what it means."},
    {popErrUnsendableLogin, "The user name or password holds a line break or a NUL character, "
                            "which cannot be sent to a POP3 server. Correct it in the settings."},
    {popErrNoLoginMethod, "The mail server offers no way to log in that Pingbox can use (a user "
                          "name and password, SASL PLAIN or APOP), or not the one Auth= in the "
                          "settings asks for, so nothing was sent. What it offers follows; its "
                          "administrator can tell which one to use."},
    {popErrApopUserName, "The mail server takes only APOP logins, and APOP cannot carry a user "
                         "name that holds a blank, so nothing was sent. Check the user name."},
    {popErrTokenNeedsTls, "An access token (Auth=xoauth2 or oauthbearer) is sent only over a "
                          "secure (TLS) connection, and this one is not secure, so nothing was "
                          "sent. Use pop3s://name, or a server that offers STLS."},
    {popErrTlsHandshake, "A secure (TLS) connection to the mail server could not be set up. Check "
                         "the port: 995 is for secure connections from the start, 110 for plain "
                         "ones."},
    {popErrTlsCertificate, "The mail server's certificate is not trusted or is not made out to "
                           "this server name, so the connection was not used. Check the server "
                           "name."},
    {popErrTlsInjection, "The mail server sent data before the secure connection began, which can "
                         "be a sign of an attack. The connection was closed."},
    {popErrTlsRefused, "The mail server offered a secure connection (STLS) but refused it or no "
                       "longer offers it. The password was not sent."},
    {popErrTlsUnavailable, "Secure connections (TLS) are not available on this computer. Install "
                           "the OpenSSL library."},
    {popErrTlsNotOffered, "The mail server does not offer a secure connection (STLS), so the "
                          "password was not sent: it would travel readable, and anyone on the way "
                          "could take it, or may have removed the offer. Use pop3s://name if the "
                          "server has a secure port. To send the password readable all the same, "
                          "write the server as pop3+plain://name."},
    {popErrAuthSetting, "Auth= in the settings file names no login method Pingbox knows (auto, "
                        "user, plain, apop, xoauth2, oauthbearer), so no check was made."},
    {popErrPassCommandFailed, "The password command (PassCommand= in the settings file) failed, "
                              "so no check was made. Its exit status and the first line of its "
                              "error output follow; run it in a terminal to see more."},
    {popErrPassCommandTimedOut, "The password command (PassCommand= in the settings file) did "
                                "not finish within 20 seconds and was stopped, so no check was "
                                "made. The next check runs it again."},
    {popErrPassCommandEmpty, "The password command (PassCommand= in the settings file) printed "
                             "nothing on its first line, so no check was made. It must print "
                             "the password or access token on its first line."},
    {popErrPassCommandTooMuch, "The password command (PassCommand= in the settings file) printed "
                               "more than 64 KiB and was stopped, so no check was made. It must "
                               "print only the password or access token."},
    {popErrKeyringUnavailable, "No desktop keyring (Secret Service) answered, so no check was "
                               "made and nothing was sent. Start one (GNOME Keyring, KWallet, "
                               "KeePassXC); the next check asks again."},
    {popErrKeyringRefused, "The desktop keyring is locked or refused to give out the password, "
                           "so no check was made and nothing was sent. Unlock it; the next "
                           "check asks again."},
    {popErrKeyringNoEntry, "The desktop keyring holds no password for this account, so no check "
                           "was made. Type the password in the configuration window and press "
                           "OK to store it there."},
    {popErrKeyringWrite, "The password could not be stored in the desktop keyring. The settings "
                         "file keeps what it had; unlock or start the keyring and press OK "
                         "again."},
};

// The description of an error number; empty for a number not in the table.
inline QString popErrorDescription(int number) {
    for (const auto& entry : popErrorTable)
        if (entry.number == number)
            return QString::fromLatin1(entry.description);
    return {};
}

// A method called where the connection's state does not allow it.
class EPOPError : public Exception {
public:
    using Exception::Exception;
};
