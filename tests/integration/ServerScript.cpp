#include "ServerScript.h"

#include <QtCore/QProcess>

bool ServerScript::run(const QStringList& arguments, QString* output) {
    QProcess process;
    process.start(script_, arguments);
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

bool ServerScript::start(const QStringList& arguments) {
    stop();
    dir_ = std::make_unique<QTemporaryDir>();
    QString output;
    if (!run(QStringList{QStringLiteral("start"), dir_->path()} + arguments, &output))
        return false;
    running_ = true;
    values_.clear();
    for (const QString& line : output.split(u'\n', Qt::SkipEmptyParts))
        values_.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    return true;
}

void ServerScript::stop() {
    if (running_)
        run({QStringLiteral("stop"), dir_->path()}, nullptr);
    running_ = false;
}

bool ServerScript::call(const QString& verb, const QStringList& arguments) {
    return running_ && run(QStringList{verb, dir_->path()} + arguments, nullptr);
}
