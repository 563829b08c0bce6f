#include "MailutilsServer.h"

#include <QtCore/QProcess>

bool MailutilsServer::run(const QStringList& arguments, QString* output) {
    QProcess process;
    process.start(QStringLiteral(PINGBOX_MAILUTILS_SERVER), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error_ = QString::fromUtf8(process.readAllStandardError()).trimmed();
        if (error_.isEmpty())
            error_ = process.errorString();
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return true;
}

bool MailutilsServer::start(const QStringList& users) {
    stop();
    dir_ = std::make_unique<QTemporaryDir>();
    QStringList arguments{QStringLiteral("start"), dir_->path()};
    for (const QString& user : users)
        arguments << QStringLiteral("--user") << user;
    QString output;
    if (!run(arguments, &output))
        return false;
    running_ = true;
    values_.clear();
    for (const QString& line : output.split(u'\n', Qt::SkipEmptyParts))
        values_.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    return stlsPort() > 0 && plainPort() > 0 && implicitPort() > 0;
}

void MailutilsServer::stop() {
    if (running_)
        run({QStringLiteral("stop"), dir_->path()}, nullptr);
    running_ = false;
}
