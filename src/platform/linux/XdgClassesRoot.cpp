#include "XdgClassesRoot.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMimeDatabase>
#include <QtCore/QTextStream>

#include <cstring>

namespace {

const QString commandSuffix = QStringLiteral("\\shell\\open\\command");

QStringList pathList(const QByteArray& name, const QStringList& fallback) {
    const QString value = qEnvironmentVariable(name.constData());
    QStringList out;
    for (const QString& p : value.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(p))
            out << p;
    return out.isEmpty() ? fallback : out;
}

QString homeDir(const QByteArray& name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name.constData());
    return QDir::isAbsolutePath(value) ? value : QDir::homePath() + fallback;
}

// Groups of a key file: group -> key -> value, the first occurrence kept.
using KeyFile = QMap<QString, QMap<QString, QString>>;

KeyFile readKeyFile(const QString& path) {
    KeyFile groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    QTextStream in(&file);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || group.isEmpty())
            continue;
        const QString key = line.left(eq).trimmed();
        if (!groups[group].contains(key))
            groups[group][key] = line.mid(eq + 1).trimmed();
    }
    return groups;
}

// The escapes of a key file's string values.
QString unescapeValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value[++i];
        if (n == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else if (n == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (n == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (n == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (n == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else
            out += QLatin1Char('\\') + QString(n);
    }
    return out;
}

// Splits an Exec value into its arguments: blanks separate, double quotes
// group, and inside quotes a backslash escapes the next character.
QStringList splitExec(const QString& exec) {
    QStringList args;
    QString current;
    bool inArg = false, quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size())
                current += exec[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                current += c;
        } else if (c == QLatin1Char('"')) {
            quoted = inArg = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inArg)
                args << current;
            current.clear();
            inArg = false;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg)
        args << current;
    return args;
}

// An argument as the program-start command line wants it: quoted when it
// holds blanks or is empty, inner quotes escaped.
QString quoteArgument(const QString& arg) {
    if (!arg.isEmpty() && !arg.contains(QLatin1Char(' ')) && !arg.contains(QLatin1Char('\t')) &&
        !arg.contains(QLatin1Char('"')))
        return arg;
    QString escaped = arg;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString mimeTypeOfExtension(const QString& extension) {
    const QString ext = extension.mid(1).toLower();
    if (ext == QLatin1String("htm") || ext == QLatin1String("html") ||
        ext == QLatin1String("shtml"))
        return QStringLiteral("text/html");
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + ext, QMimeDatabase::MatchExtension);
    return type.isDefault() ? QString() : type.name();
}

} // namespace

XdgDirs XdgDirs::FromEnvironment() {
    XdgDirs d;
    d.configHome = homeDir("XDG_CONFIG_HOME", QStringLiteral("/.config"));
    d.configDirs = pathList("XDG_CONFIG_DIRS", {QStringLiteral("/etc/xdg")});
    d.dataHome = homeDir("XDG_DATA_HOME", QStringLiteral("/.local/share"));
    d.dataDirs = pathList("XDG_DATA_DIRS",
                          {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        d.desktops << desktop.toLower();
    return d;
}

XdgClassesRoot::XdgClassesRoot(XdgDirs dirs) : dirs_(std::move(dirs)) {}

QStringList XdgClassesRoot::mimeAppsLists() const {
    QStringList files;
    auto addFolder = [&](const QString& folder, bool legacy) {
        for (const QString& desktop : dirs_.desktops)
            files << folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
        files << folder + QStringLiteral("/mimeapps.list");
        if (legacy)
            files << folder + QStringLiteral("/defaults.list");
    };
    addFolder(dirs_.configHome, false);
    for (const QString& d : dirs_.configDirs)
        addFolder(d, false);
    addFolder(dirs_.dataHome + QStringLiteral("/applications"), false);
    for (const QString& d : dirs_.dataDirs)
        addFolder(d + QStringLiteral("/applications"), true);
    return files;
}

QString XdgClassesRoot::DesktopFile(const QString& id) const {
    if (!id.endsWith(QLatin1String(".desktop")) || id.contains(QLatin1Char('/')))
        return {};
    // An id "a-b-c.desktop" may also live at a/b-c.desktop or a/b/c.desktop.
    QStringList relative{id};
    QString nested = id;
    for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash > 0;
         dash = nested.indexOf(QLatin1Char('-'), dash + 1)) {
        nested[dash] = QLatin1Char('/');
        relative << nested;
    }
    QStringList bases{dirs_.dataHome};
    bases += dirs_.dataDirs;
    for (const QString& base : bases)
        for (const QString& rel : relative) {
            const QString path = base + QStringLiteral("/applications/") + rel;
            if (!QFileInfo(path).isFile())
                continue;
            const auto entry = readKeyFile(path).value(QStringLiteral("Desktop Entry"));
            if (entry.value(QStringLiteral("Hidden")) == QLatin1String("true"))
                return {};
            return path;
        }
    return {};
}

QString XdgClassesRoot::DefaultApplication(const QString& mimeType) const {
    const QStringList lists = mimeAppsLists();
    for (const QString& group :
         {QStringLiteral("Default Applications"), QStringLiteral("Added Associations")})
        for (const QString& list : lists) {
            const QString ids = readKeyFile(list).value(group).value(mimeType);
            for (const QString& id : ids.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                if (!DesktopFile(id.trimmed()).isEmpty())
                    return id.trimmed();
        }
    return {};
}

QString XdgClassesRoot::CommandFromExec(const QString& exec) {
    QStringList out;
    bool placed = false;
    for (const QString& arg : splitExec(exec)) {
        static const QStringList fileCodes{"%u", "%U", "%f", "%F"};
        if (fileCodes.contains(arg)) {
            if (!placed)
                out << QStringLiteral("\"%1\"");
            placed = true;
            continue;
        }
        QString expanded;
        bool dropped = false;
        for (qsizetype i = 0; i < arg.size(); ++i) {
            if (arg[i] != QLatin1Char('%') || i + 1 == arg.size()) {
                expanded += arg[i];
                continue;
            }
            const QChar code = arg[++i];
            if (code == QLatin1Char('%'))
                expanded += QLatin1Char('%');
            else if (QStringLiteral("uUfF").contains(code) && !placed) {
                expanded += QStringLiteral("%1");
                placed = true;
            } else {
                dropped = true; // icon, name, location and old codes: nothing of ours
            }
        }
        if (dropped && expanded.isEmpty())
            continue;
        out << quoteArgument(expanded);
    }
    return out.join(QLatin1Char(' '));
}

long XdgClassesRoot::OpenKey(const QString& subKey, Key& key) {
    QString value;
    if (subKey.startsWith(QLatin1Char('.')) && !subKey.contains(QLatin1Char('\\'))) {
        const QString mime = mimeTypeOfExtension(subKey);
        if (!mime.isEmpty())
            value = DefaultApplication(mime);
    } else if (subKey.endsWith(commandSuffix, Qt::CaseInsensitive)) {
        const QString id = subKey.left(subKey.size() - commandSuffix.size());
        const QString path = DesktopFile(id);
        if (!path.isEmpty()) {
            const auto entry = readKeyFile(path).value(QStringLiteral("Desktop Entry"));
            const QString exec = unescapeValue(entry.value(QStringLiteral("Exec")));
            if (!exec.trimmed().isEmpty())
                value = CommandFromExec(exec);
        }
    }
    if (value.isEmpty())
        return ERROR_FILE_NOT_FOUND;
    key = next_++;
    open_[key] = value.toLocal8Bit();
    return ERROR_SUCCESS;
}

long XdgClassesRoot::QueryValue(Key key, char* buffer, long size) {
    const auto it = open_.constFind(key);
    if (it == open_.constEnd())
        return ERROR_INVALID_HANDLE;
    if (it->size() + 1 > size)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, it->constData(), std::size_t(it->size()) + 1);
    return ERROR_SUCCESS;
}

long XdgClassesRoot::CloseKey(Key key) {
    return open_.remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
