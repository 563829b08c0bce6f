#include "DovecotServer.h"

#include <QtCore/QProcess>

bool DovecotServer::run(const QStringList& arguments, QString* output) {
    QProcess process;
    process.start(QStringLiteral(PINGBOX_DOVECOT_SERVER), arguments);
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

bool DovecotServer::start(const Options& options) {
    stop();
    dir_ = std::make_unique<QTemporaryDir>();
    QStringList arguments{QStringLiteral("start"), dir_->path()};
    for (const QString& user : options.users)
        arguments << QStringLiteral("--user") << user;
    if (!options.tls)
        arguments << QStringLiteral("--no-tls");
    QString output;
    if (!run(arguments, &output))
        return false;
    running_ = true;
    for (const QString& line : output.split(u'\n', Qt::SkipEmptyParts)) {
        const QString key = line.section(u'=', 0, 0);
        const QString value = line.section(u'=', 1);
        if (key == QLatin1String("POP3_PORT"))
            pop3Port_ = value.toInt();
        else if (key == QLatin1String("POP3S_PORT"))
            pop3sPort_ = value.toInt();
        else if (key == QLatin1String("HOST"))
            host_ = value;
        else if (key == QLatin1String("CA_FILE"))
            caFile_ = value;
    }
    return pop3Port_ > 0;
}

void DovecotServer::stop() {
    if (running_)
        run({QStringLiteral("stop"), dir_->path()}, nullptr);
    running_ = false;
}

bool DovecotServer::fill(const QString& user, int count) {
    return run({QStringLiteral("fill"), dir_->path(), user, QString::number(count)}, nullptr);
}
