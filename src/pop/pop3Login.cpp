#include "pop3Login.h"

#include "pop3Protocol.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

std::optional<LoginMethod> parseLoginMethod(const QString& word) {
    const QString w = word.trimmed().toLower();
    for (LoginMethod m : {LoginMethod::Auto, LoginMethod::User, LoginMethod::Plain,
                          LoginMethod::Apop, LoginMethod::XOAuth2, LoginMethod::OAuthBearer})
        if (w == loginMethodName(m))
            return m;
    if (w.isEmpty())
        return LoginMethod::Auto;
    return std::nullopt;
}

QString loginMethodName(LoginMethod method) {
    switch (method) {
    case LoginMethod::Auto:
        return QStringLiteral("auto");
    case LoginMethod::User:
        return QStringLiteral("user");
    case LoginMethod::Plain:
        return QStringLiteral("plain");
    case LoginMethod::Apop:
        return QStringLiteral("apop");
    case LoginMethod::XOAuth2:
        return QStringLiteral("xoauth2");
    case LoginMethod::OAuthBearer:
        return QStringLiteral("oauthbearer");
    }
    return {};
}

bool sendsToken(LoginMethod method) {
    return method == LoginMethod::XOAuth2 || method == LoginMethod::OAuthBearer;
}

QByteArray xoauth2Response(const QByteArray& user, const QByteArray& token) {
    return ("user=" + user +
            "\x01"
            "auth=Bearer " +
            token + "\x01\x01")
        .toBase64();
}

QByteArray oauthBearerResponse(const QByteArray& user, const QByteArray& host, int port,
                               const QByteArray& token) {
    // RFC 5801's saslname: "=" and "," are written as =3D and =2C.
    QByteArray name = user;
    name.replace("=", "=3D").replace(",", "=2C");
    return ("n,a=" + name +
            ",\x01"
            "host=" +
            host +
            "\x01"
            "port=" +
            QByteArray::number(port) +
            "\x01"
            "auth=Bearer " +
            token + "\x01\x01")
        .toBase64();
}

QString describeTokenChallenge(const QByteArray& challenge) {
    const auto decoded = QByteArray::fromBase64Encoding(challenge.trimmed(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return printableServerText(challenge);
    const QJsonDocument json = QJsonDocument::fromJson(*decoded);
    if (!json.isObject())
        return printableServerText(*decoded);
    QStringList parts;
    const QJsonObject object = json.object();
    for (const char* key : {"status", "schemes", "scope"}) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isString())
            parts << QStringLiteral("%1 %2").arg(QLatin1String(key),
                                                 printableServerText(value.toString().toUtf8()));
        else if (value.isDouble())
            parts << QStringLiteral("%1 %2").arg(QLatin1String(key)).arg(value.toDouble());
    }
    if (parts.isEmpty())
        return printableServerText(*decoded);
    return parts.join(QStringLiteral(", "));
}

QString passwordLoginsOffHint(const QString& refusal) {
    const QString text = refusal.toLower();
    if (text.contains(QLatin1String("application-specific password required")))
        return QStringLiteral(
            "this account needs an app password (made in the account's security settings) "
            "instead of the usual one, or Auth=xoauth2 with a token command (PassCommand=)");
    if (text.contains(QLatin1String("web login required")) ||
        text.contains(QLatin1String("basic authentication is disabled")))
        return QStringLiteral(
            "the provider has switched password logins off: set Auth=xoauth2 and a token "
            "command (PassCommand=) in Pingbox.ini, or use an app password where the "
            "provider offers one");
    return {};
}
