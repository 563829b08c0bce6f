#pragma once

#include "platform/RegIniFile.h"

// The settings store as INI files in one folder (normally the XDG config
// folder): store "Pingbox" is "<folder>/Pingbox.ini", one [section] per
// subkey. Every write replaces the file atomically (temporary file, fsync,
// rename), so a crash or a full disk leaves the old or the new file, never a
// broken one. The file is created with mode 0600 because it holds the
// password. A file that cannot be parsed is never overwritten, and neither is
// anything that is not a regular file or larger than maxFileSize. A symlinked
// file is saved through its link: the link stays, its target is replaced.
class IniFileStore : public RegistryStore {
public:
    // Far above any real settings file; keeps a wrong file from eating memory.
    static constexpr qint64 maxFileSize = qint64(1) << 20;

    explicit IniFileStore(QString folder);
    // The folder the real program uses: $XDG_CONFIG_HOME, or ~/.config.
    static QString defaultFolder();

    std::unique_ptr<RegIniFile> Open(const QString& fileName) override;
    QString pathOf(const QString& fileName) const;

private:
    QString folder_;
};
