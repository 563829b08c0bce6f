#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <optional>

// How TPOP logs in. Auto picks from what the server offers: USER and PASS,
// else SASL PLAIN, else APOP. The others insist on one method; the two
// OAuth2 ones send an access token where a password would go.
enum class LoginMethod { Auto, User, Plain, Apop, XOAuth2, OAuthBearer };

// The method a settings value or command-line word names ("auto", "user",
// "plain", "apop", "xoauth2", "oauthbearer", any case; empty is auto), or
// nothing for a word that names none.
std::optional<LoginMethod> parseLoginMethod(const QString& word);
QString loginMethodName(LoginMethod method);
bool sendsToken(LoginMethod method);

// The SASL initial responses, base64, for the token methods. XOAUTH2 is
// Google's and Microsoft's; OAUTHBEARER is RFC 7628's.
QByteArray xoauth2Response(const QByteArray& user, const QByteArray& token);
QByteArray oauthBearerResponse(const QByteArray& user, const QByteArray& host, int port,
                               const QByteArray& token);

// What a token method's failure challenge (base64, often a JSON object from
// the provider) says, fit to show: the status, schemes and scope of a JSON
// object, or else the decoded text.
QString describeTokenChallenge(const QByteArray& challenge);

// What to do when a server's refusal says it takes no password logins at all
// (a provider that has switched them off), or empty.
QString passwordLoginsOffHint(const QString& refusal);
