#pragma once

#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>

#include <memory>

// A private server started and stopped by one of our scripts
// ("SCRIPT start DIR ARGS...", "SCRIPT stop DIR"), in a temporary folder of
// its own. The start prints KEY=VALUE lines: ports, host, CA file.
class ServerScript {
public:
    explicit ServerScript(QString script) : script_(std::move(script)) {}
    ~ServerScript() { stop(); }

    // Starts the server; false (with error() saying why) when it cannot.
    bool start(const QStringList& arguments);
    void stop();
    // Runs "SCRIPT VERB DIR ARGS..." against the running server.
    bool call(const QString& verb, const QStringList& arguments);

    QString value(const char* key) const { return values_.value(QString::fromLatin1(key)); }
    QString error() const { return error_; }

private:
    bool run(const QStringList& arguments, QString* output);

    QString script_;
    std::unique_ptr<QTemporaryDir> dir_;
    bool running_ = false;
    QHash<QString, QString> values_;
    QString error_;
};
