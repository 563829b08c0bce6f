#pragma once

#include "pop3Login.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>
#include <functional>

// Connection states reported by State.
enum : std::int16_t {
    popConnecting = 1,
    popResolvingHost = 2,
    popHostResolved = 3,
    popConnected = 4,
    popDisconnecting = 5,
    popClosed = 6,
};

// Protocol states reported by ProtocolState.
enum : std::int16_t {
    popAwaitingLogin = 1,
    popLoggedIn = 2,
};

// The detail list of the last error: entries 1..Count(), each a description.
class TPOPErrors {
public:
    int Count() const { return int(descriptions_.size()); }
    // Description of entry index, counted from 1.
    QString Description(int index) const { return descriptions_.value(index - 1); }

    void Clear() { descriptions_.clear(); }
    void Add(const QString& description) { descriptions_ << description; }

private:
    QStringList descriptions_;
};

// The POP client control as the program drives it: properties written before
// each connection, states read, four methods, four events. Every event is
// raised on the GUI thread. The real control is TPOP; tests use a fake.
class POPControl {
public:
    using ErrorEvent = std::function<void(
        std::int16_t Number, QString& Description, std::int32_t Scode, const QString& Source,
        const QString& HelpFile, std::int32_t HelpContext, bool& CancelDisplay)>;

    virtual ~POPControl() = default;

    virtual QString RemoteHost() const = 0;
    virtual void SetRemoteHost(const QString& value) = 0;
    virtual int RemotePort() const = 0;
    virtual QString UserId() const = 0;
    virtual void SetUserId(const QString& value) = 0;
    virtual QString Password() const = 0;
    virtual void SetPassword(const QString& value) = 0;
    // How Authenticate logs in; Password holds the access token for the
    // token methods.
    virtual LoginMethod Method() const = 0;
    virtual void SetMethod(LoginMethod value) = 0;

    virtual std::int16_t State() const = 0;
    virtual std::int16_t ProtocolState() const = 0;
    virtual bool Busy() const = 0;
    virtual const TPOPErrors& Errors() const = 0;

    // Connect with host and port left out: RemoteHost and RemotePort apply.
    virtual void Connect() = 0;
    virtual void Authenticate(const QString& user, const QString& password) = 0;
    virtual void RefreshMessageCount() = 0;
    virtual void Quit() = 0;

    ErrorEvent OnError;
    std::function<void(std::int16_t State)> OnStateChanged;
    std::function<void(std::int16_t ProtocolState)> OnProtocolStateChanged;
    std::function<void(std::int32_t Number)> OnRefreshMessageCount;
};
