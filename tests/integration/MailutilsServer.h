#pragma once

#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>

#include <memory>

// A private GNU Mailutils pop3d on loopback in a temporary folder, through
// scripts/mailutils-server. Users are "name:password:count" and log in as
// name@domain().
class MailutilsServer {
public:
    // Starts the server; false (with error() saying why) when it cannot.
    bool start(const QStringList& users);
    void stop();
    ~MailutilsServer() { stop(); }

    int stlsPort() const { return value("POP3_PORT").toInt(); }      // plain, STLS offered
    int plainPort() const { return value("PLAIN_PORT").toInt(); }    // no TLS at all
    int implicitPort() const { return value("POP3S_PORT").toInt(); } // TLS from the first byte
    QString host() const { return value("HOST"); }
    QString domain() const { return value("DOMAIN"); }
    QString caFile() const { return value("CA_FILE"); }
    QString error() const { return error_; }

private:
    bool run(const QStringList& arguments, QString* output);
    QString value(const char* key) const { return values_.value(QString::fromLatin1(key)); }

    std::unique_ptr<QTemporaryDir> dir_;
    bool running_ = false;
    QHash<QString, QString> values_;
    QString error_;
};
