#include "pvlUrl.h"

#include "platform/ClassesRoot.h"
#include "platform/Errors.h"
#include "platform/InstanceMarker.h"
#include "platform/ProgramStarter.h"

#include <array>

int ShowCommandCode(TUrlShowCmd command) {
    switch (command) {
    case TUrlShowCmd::ssHide:
        return SW_HIDE;
    case TUrlShowCmd::ssMaximize:
        return SW_MAXIMIZE;
    case TUrlShowCmd::ssMinimize:
        return SW_MINIMIZE;
    case TUrlShowCmd::ssRestore:
        return SW_RESTORE;
    case TUrlShowCmd::ssShow:
        return SW_SHOW;
    case TUrlShowCmd::ssShowDefault:
        return SW_SHOWDEFAULT;
    case TUrlShowCmd::ssShowMaximized:
        return SW_SHOWMAXIMIZED;
    case TUrlShowCmd::ssShowMinimized:
        return SW_SHOWMINIMIZED;
    case TUrlShowCmd::ssShowMinNoActivate:
        return SW_SHOWMINNOACTIVE;
    case TUrlShowCmd::ssShowNA:
        return SW_SHOWNA;
    case TUrlShowCmd::ssShowNoActivate:
        return SW_SHOWNOACTIVATE;
    default:
        return SW_SHOWNORMAL;
    }
}

TpvlUrl::TpvlUrl(ClassesRoot& classes, ProgramStarter& starter, QObject* owner)
    : QObject(owner), classes_(classes), starter_(starter) {}

long TpvlUrl::ReadClassesRootValue(const QString& keyName, QString& value) {
    ClassesRoot::Key key = 0;
    const long status = classes_.OpenKey(keyName, key);
    if (status != ClassesRoot::ERROR_SUCCESS)
        return status;
    std::array<char, 260> buffer{};
    const long query = classes_.QueryValue(key, buffer.data(), long(buffer.size()));
    classes_.CloseKey(key);
    // A value that cannot be read whole is no value: the caller stops as for
    // a missing key rather than run a cut-off command line.
    if (query != ClassesRoot::ERROR_SUCCESS)
        return query;
    buffer.back() = '\0';
    value = QString::fromLocal8Bit(buffer.data());
    return ClassesRoot::ERROR_SUCCESS;
}

void TpvlUrl::Launch() {
    const int showCode = ShowCommandCode(UrlShowCommand);
    QString fileClass;
    if (ReadClassesRootValue(QStringLiteral(".htm"), fileClass) != ClassesRoot::ERROR_SUCCESS)
        return;
    QString command;
    if (ReadClassesRootValue(fileClass + QStringLiteral("\\shell\\open\\command"), command) !=
        ClassesRoot::ERROR_SUCCESS)
        return;
    qsizetype cut = command.indexOf(QStringLiteral("\"%1\""));
    if (cut < 0)
        cut = command.indexOf(QStringLiteral("%1"));
    if (cut >= 0)
        command.truncate(cut);
    const QString commandLine = command + QLatin1Char(' ') + Url;
    if (starter_.WinExec(commandLine, showCode) < 32)
        throw Exception(QStringLiteral("Couldn't launch default browser"));
}
