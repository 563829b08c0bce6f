#include "IniFileIo.h"

#include "platform/Errors.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a plain file");
}

[[noreturn]] void refuseKind(const QString& path, mode_t mode) {
    throw ERegistryException(
        QStringLiteral("The settings file %1 is not a regular file but %2; it was left untouched.")
            .arg(path, kindOf(mode)));
}

QString sizeText(qint64 bytes) {
    return bytes % (1 << 20) == 0 ? QStringLiteral("%1 MiB").arg(bytes >> 20)
                                  : QStringLiteral("%1 bytes").arg(bytes);
}

[[noreturn]] void refuseSize(const QString& path, qint64 limit) {
    throw ERegistryException(
        QStringLiteral("The settings file %1 is larger than %2; it was left untouched.")
            .arg(path, sizeText(limit)));
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

std::optional<QByteArray> readSettingsFile(const QString& path, qint64 limit) {
    const QByteArray name = QFile::encodeName(path);
    auto fail = [&](const char* what, int code) {
        throw ERegistryException(QStringLiteral("Could not %1 the settings file %2: %3.")
                                     .arg(QLatin1String(what), path, systemError(code)));
    };
    // Some devices act on open, so the type is looked at first; the check on
    // the opened descriptor below is the one that counts.
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        refuseKind(path, st.st_mode);
    // O_NONBLOCK: a named pipe put there since must not hang the start.
    const Fd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        fail("open", errno);
    }
    if (::fstat(fd.get(), &st) != 0)
        fail("examine", errno);
    if (!S_ISREG(st.st_mode))
        refuseKind(path, st.st_mode);
    if (st.st_size > limit)
        refuseSize(path, limit);
    // One byte more than its size shows that the file grew since; then reading
    // goes on, but never beyond limit + 1.
    QByteArray bytes(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qsizetype total = 0;
    for (;;) {
        if (total == bytes.size()) {
            if (total > limit)
                refuseSize(path, limit);
            bytes.resize(qsizetype(limit) + 1);
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + total, size_t(bytes.size() - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("read", errno);
        if (n == 0)
            break;
        total += n;
    }
    bytes.truncate(total);
    bytes.squeeze();
    return bytes;
}

QString resolveSettingsFile(const QString& path) {
    QString current = path;
    // As many links as the kernel itself follows.
    for (int hops = 0; hops <= 40; ++hops) {
        const QByteArray name = QFile::encodeName(current);
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (n < 0 || n >= target.size())
            throw ERegistryException(
                QStringLiteral("Could not follow the link %1 to the settings file: %2.")
                    .arg(current, systemError(n < 0 ? errno : ENAMETOOLONG)));
        target.truncate(n);
        const QString next = QFile::decodeName(target);
        current = QFileInfo(next).isAbsolute()
                      ? next
                      : QFileInfo(current).absolutePath() + QLatin1Char('/') + next;
    }
    throw ERegistryException(
        QStringLiteral("Could not follow the links to the settings file %1: %2.")
            .arg(path, systemError(ELOOP)));
}

void replaceFileAtomically(const QString& path, const QByteArray& bytes) {
    const QByteArray target = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        refuseKind(path, st.st_mode);
    QByteArray tmpl = target + ".XXXXXX";
    auto fail = [&](const QString& what, int code) {
        throw ERegistryException(QStringLiteral("Could not save the settings to %1: %2 (%3).")
                                     .arg(path, what, systemError(code)));
    };
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        fail(QStringLiteral("cannot create a temporary file"), errno);
    bool ok = ::fchmod(fd, 0600) == 0;
    int code = errno;
    qsizetype written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        code = errno;
        if (ok)
            written += n;
    }
    if (ok) {
        ok = ::fsync(fd) == 0;
        code = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(tmpl.constData(), target.constData()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(tmpl.constData());
        fail(QStringLiteral("the write was refused"), code);
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}
