#include "IniFileStore.h"

#include "IniFile.h"
#include "platform/Errors.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// Replaces path with bytes so that any crash leaves either the old or the new
// contents: write a private temporary file beside it, flush it to the disk,
// rename it over the old one, then flush the folder entry.
void replaceFileAtomically(const QString& path, const QByteArray& bytes) {
    const QByteArray target = QFile::encodeName(path);
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
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

class IniRegIniFile : public RegIniFile {
public:
    IniRegIniFile(QString path, IniDocument doc) : path_(std::move(path)), doc_(std::move(doc)) {}

    QString ReadString(const QString& section, const QString& ident,
                       const QString& defaultValue) override {
        return doc_.value(section, ident).value_or(defaultValue);
    }

    void WriteString(const QString& section, const QString& ident, const QString& value) override {
        IniDocument changed = doc_;
        changed.setValue(section, ident, value);
        const QString folder = QFileInfo(path_).absolutePath();
        if (!QDir().mkpath(folder))
            throw ERegistryException(
                QStringLiteral("Could not create the settings folder %1.").arg(folder));
        replaceFileAtomically(path_, changed.serialize());
        doc_ = std::move(changed);
    }

private:
    QString path_;
    IniDocument doc_;
};

} // namespace

IniFileStore::IniFileStore(QString folder) : folder_(std::move(folder)) {}

QString IniFileStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString IniFileStore::pathOf(const QString& fileName) const {
    return QDir(folder_).filePath(fileName + QStringLiteral(".ini"));
}

std::unique_ptr<RegIniFile> IniFileStore::Open(const QString& fileName) {
    const QString path = pathOf(fileName);
    QFile file(path);
    QByteArray bytes;
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            throw ERegistryException(QStringLiteral("Could not open the settings file %1: %2.")
                                         .arg(path, file.errorString()));
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw ERegistryException(QStringLiteral("Could not read the settings file %1: %2.")
                                         .arg(path, file.errorString()));
    }
    return std::make_unique<IniRegIniFile>(path, IniDocument::parse(bytes, path));
}
