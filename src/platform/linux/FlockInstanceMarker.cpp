#include "FlockInstanceMarker.h"

#include "platform/Errors.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

QString unguarded(const QString& why) {
    return QStringLiteral("Pingbox cannot make sure that only one copy of it runs: %1. This "
                          "copy goes on, but a second one started now would check the mailbox "
                          "and save the settings beside it.")
        .arg(why);
}

// Why folder may not hold the marker, or an empty text when it may. With
// ours set, the folder is created when missing and closed to others when it
// is this user's; a folder the user was given is only checked. With closed
// set, a folder others may even read is refused.
QString refusal(const QString& folder, bool ours, bool closed = false) {
    const QByteArray name = QFile::encodeName(folder);
    if (ours && ::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        const int code = errno;
        return QStringLiteral("%1 cannot be created (%2)").arg(folder, systemError(code));
    }
    // O_NOFOLLOW: a link planted by someone else must not lead elsewhere.
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        return QStringLiteral("%1 is not a usable folder (%2)").arg(folder, systemError(code));
    }
    QString why;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        why = QStringLiteral("%1 cannot be examined").arg(folder);
    else if (st.st_uid != ::getuid())
        why = QStringLiteral("%1 belongs to another user").arg(folder);
    else if (ours && (st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)
        why = QStringLiteral("%1 cannot be closed to others").arg(folder);
    else if (!ours && (st.st_mode & 022) != 0)
        why = QStringLiteral("%1 is open to other users").arg(folder);
    else if (closed && (st.st_mode & 077) != 0)
        why = QStringLiteral("%1 is not closed to other users").arg(folder);
    ::close(fd);
    return why;
}

} // namespace

FlockInstanceMarker::FlockInstanceMarker() {
    try {
        folder_ = runtimeFolder();
    } catch (const Exception& e) {
        problem_ = e.Message();
    }
}

FlockInstanceMarker::FlockInstanceMarker(QString folder) : folder_(std::move(folder)) {}

FlockInstanceMarker::~FlockInstanceMarker() {
    Close();
}

QString FlockInstanceMarker::runtimeFolder(const QString& perUserRoot) {
    QStringList reasons;
    // The login's own runtime folder comes first whatever the environment
    // says, so that a start without XDG_RUNTIME_DIR (from cron, a status bar,
    // su) finds the marker of one with it.
    const QString login = QDir(perUserRoot).filePath(QString::number(::getuid()));
    if (QFileInfo(login).isDir()) {
        if (const QString why = refusal(login, false, true); why.isEmpty())
            return login;
        else
            reasons << why;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        reasons << QStringLiteral("XDG_RUNTIME_DIR is not set");
    else if (!QDir::isAbsolutePath(runtime))
        reasons << QStringLiteral("XDG_RUNTIME_DIR is not an absolute path");
    else if (const QString why = refusal(runtime, false); why.isEmpty())
        return runtime;
    else
        reasons << why;

    const QString temp = QDir::temp().filePath(QStringLiteral("pingbox-%1").arg(::getuid()));
    if (const QString why = refusal(temp, true); why.isEmpty())
        return temp;
    else
        reasons << why;

    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache))
        cache = QDir::home().filePath(QStringLiteral(".cache"));
    QDir().mkpath(cache);
    const QString own = QDir(cache).filePath(QStringLiteral("pingbox"));
    if (const QString why = refusal(own, true); why.isEmpty())
        return own;
    else
        reasons << why;
    throw Exception(unguarded(QStringLiteral("no private folder for its marker was found (%1)")
                                  .arg(reasons.join(QStringLiteral("; ")))));
}

InstanceMarker::Result FlockInstanceMarker::Create(const QString& name) {
    Close();
    if (folder_.isEmpty()) {
        if (problem_.isEmpty())
            problem_ = unguarded(QStringLiteral("no folder for its marker was given"));
        return Result::Failed;
    }
    problem_.clear();
    const QByteArray path =
        QFile::encodeName(QDir(folder_).filePath(name + QStringLiteral(".lock")));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        return Result::Created;
    }
    const int code = errno;
    if (fd >= 0)
        ::close(fd);
    if (fd >= 0 && code == EWOULDBLOCK)
        return Result::AlreadyExists;
    problem_ = unguarded(QStringLiteral("its marker %1 cannot be %2 (%3)")
                             .arg(QFile::decodeName(path),
                                  fd < 0 ? QStringLiteral("opened") : QStringLiteral("locked"),
                                  systemError(code)));
    return Result::Failed;
}

void FlockInstanceMarker::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}
