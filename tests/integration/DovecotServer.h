#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>

#include <memory>

// A private Dovecot on loopback in a temporary folder, through
// scripts/dovecot-server. Users are "name:password:count".
class DovecotServer {
public:
    struct Options {
        QStringList users;
        bool tls = true;
    };

    // Starts the server; false (with error() saying why) when it cannot.
    bool start(const Options& options);
    void stop();
    bool fill(const QString& user, int count);
    ~DovecotServer() { stop(); }

    int pop3Port() const { return pop3Port_; }
    int pop3sPort() const { return pop3sPort_; }
    QString host() const { return host_; }
    QString caFile() const { return caFile_; }
    QString error() const { return error_; }

private:
    bool run(const QStringList& arguments, QString* output);

    std::unique_ptr<QTemporaryDir> dir_;
    bool running_ = false;
    int pop3Port_ = 0;
    int pop3sPort_ = 0;
    QString host_;
    QString caFile_;
    QString error_;
};
