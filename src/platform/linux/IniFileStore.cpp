#include "IniFileStore.h"

#include "IniFile.h"
#include "IniFileIo.h"
#include "platform/Errors.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>

namespace {

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
        const QByteArray bytes = changed.serialize();
        // A file the next start would refuse to read is never written.
        if (bytes.size() > IniFileStore::maxFileSize)
            throw ERegistryException(
                QStringLiteral("Could not save the settings to %1: they would be larger than "
                               "%2 MiB, more than Pingbox reads back. Nothing was changed.")
                    .arg(path_)
                    .arg(IniFileStore::maxFileSize >> 20));
        const QString folder = QFileInfo(path_).absolutePath();
        if (!QDir().mkpath(folder))
            throw ERegistryException(
                QStringLiteral("Could not create the settings folder %1.").arg(folder));
        replaceFileAtomically(resolveSettingsFile(path_), bytes);
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
    const QByteArray bytes = readSettingsFile(path, maxFileSize).value_or(QByteArray());
    return std::make_unique<IniRegIniFile>(path, IniDocument::parse(bytes, path));
}
