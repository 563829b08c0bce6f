#pragma once

#include "pop/POPControl.h"

#include <QtCore/QStringList>

// A POP client control whose states are set by the test and whose method
// calls are recorded in order ("Connect", "Authenticate user pass", ...).
class FakePOPControl : public POPControl {
public:
    QString RemoteHost() const override { return host; }
    void SetRemoteHost(const QString& v) override {
        calls << QStringLiteral("RemoteHost=%1").arg(v);
        host = v;
    }
    int RemotePort() const override { return 110; }
    QString UserId() const override { return user; }
    void SetUserId(const QString& v) override {
        calls << QStringLiteral("UserId=%1").arg(v);
        user = v;
    }
    QString Password() const override { return password; }
    void SetPassword(const QString& v) override {
        calls << QStringLiteral("Password=%1").arg(v);
        password = v;
    }
    LoginMethod Method() const override { return method; }
    void SetMethod(LoginMethod v) override { method = v; }
    std::int16_t State() const override { return state; }
    std::int16_t ProtocolState() const override { return protocolState; }
    bool Busy() const override { return busy; }
    const TPOPErrors& Errors() const override { return errors; }
    void Connect() override {
        calls << QStringLiteral("Connect");
        if (connectThrows)
            throw std::runtime_error("connect failed");
    }
    void Authenticate(const QString& u, const QString& p) override {
        calls << QStringLiteral("Authenticate %1 %2").arg(u, p);
        if (authenticateThrows)
            throw std::runtime_error("authenticate failed");
    }
    void RefreshMessageCount() override { calls << QStringLiteral("RefreshMessageCount"); }
    void Quit() override { calls << QStringLiteral("Quit"); }

    QString host, user, password;
    LoginMethod method = LoginMethod::Auto;
    std::int16_t state = popClosed;
    std::int16_t protocolState = 0;
    bool busy = false;
    bool connectThrows = false;
    bool authenticateThrows = false;
    TPOPErrors errors;
    QStringList calls;
};
