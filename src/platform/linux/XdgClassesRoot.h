#pragma once

#include "platform/ClassesRoot.h"

#include <QtCore/QByteArray>
#include <QtCore/QMap>
#include <QtCore/QStringList>

// The folders of the freedesktop base directories, most important first.
struct XdgDirs {
    QString configHome;
    QStringList configDirs;
    QString dataHome;
    QStringList dataDirs;
    QStringList desktops; // XDG_CURRENT_DESKTOP, lower case
    static XdgDirs FromEnvironment();
};

// File-type associations from the freedesktop MIME application lists:
// ".htm" (and other extensions) gives the default application's desktop
// file id for the extension's MIME type, and "<id>\shell\open\command" that
// application's Exec line as a command line, whose file or URL field code
// becomes "%1" in quotes. The lists are read anew on every OpenKey, so a
// changed default browser is seen at once.
class XdgClassesRoot : public ClassesRoot {
public:
    explicit XdgClassesRoot(XdgDirs dirs = XdgDirs::FromEnvironment());

    long OpenKey(const QString& subKey, Key& key) override;
    long QueryValue(Key key, char* buffer, long size) override;
    long CloseKey(Key key) override;

    // The parts below are exposed for tests.
    // Desktop file id of the default application for a MIME type, or empty.
    QString DefaultApplication(const QString& mimeType) const;
    // Path of an installed, not hidden desktop file, or empty.
    QString DesktopFile(const QString& id) const;
    // A desktop file's Exec value as a command line with "%1" for the file.
    static QString CommandFromExec(const QString& exec);

private:
    QStringList mimeAppsLists() const;

    XdgDirs dirs_;
    QMap<Key, QByteArray> open_;
    Key next_ = 1;
};
