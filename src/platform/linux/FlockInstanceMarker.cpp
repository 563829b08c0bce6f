#include "FlockInstanceMarker.h"

#include <QtCore/QDir>
#include <QtCore/QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

FlockInstanceMarker::FlockInstanceMarker(QString folder) : folder_(std::move(folder)) {}

FlockInstanceMarker::~FlockInstanceMarker() {
    Close();
}

QString FlockInstanceMarker::runtimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QFile::decodeName(runtime)).exists())
        return QFile::decodeName(runtime);
    const QString fallback = QDir::temp().filePath(QStringLiteral("pingbox-%1").arg(::getuid()));
    ::mkdir(QFile::encodeName(fallback).constData(), 0700);
    struct stat st {};
    // Only a folder of our own, closed to others, may hold the marker.
    if (::lstat(QFile::encodeName(fallback).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == ::getuid() && (st.st_mode & 077) == 0)
        return fallback;
    return {};
}

InstanceMarker::Result FlockInstanceMarker::Create(const QString& name) {
    Close();
    if (folder_.isEmpty())
        return Result::Failed;
    const QByteArray path =
        QFile::encodeName(QDir(folder_).filePath(name + QStringLiteral(".lock")));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        return Result::Created;
    }
    const int code = errno;
    ::close(fd);
    return code == EWOULDBLOCK ? Result::AlreadyExists : Result::Failed;
}

void FlockInstanceMarker::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}
