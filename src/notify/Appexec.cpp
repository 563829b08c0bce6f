#include "Appexec.h"

#include "platform/InstanceMarker.h"
#include "platform/ProgramStarter.h"

#include <QtCore/QCoreApplication>

int ShowCode(TShowType type) {
    switch (type) {
    case TShowType::S_HIDE:
        return SW_HIDE;
    case TShowType::S_MINIMIZE:
        return SW_MINIMIZE;
    case TShowType::S_RESTORE:
        return SW_RESTORE;
    case TShowType::S_SHOW:
        return SW_SHOW;
    case TShowType::S_SHOWMAXIMIZED:
        return SW_SHOWMAXIMIZED;
    case TShowType::S_SHOWMINIMIZED:
        return SW_SHOWMINIMIZED;
    case TShowType::S_SHOWMINNOACTIVE:
        return SW_SHOWMINNOACTIVE;
    case TShowType::S_SHOWNA:
        return SW_SHOWNA;
    case TShowType::S_SHOWNOACTIVATE:
        return SW_SHOWNOACTIVATE;
    case TShowType::S_SHOWNORMAL:
        return SW_SHOWNORMAL;
    }
    return SW_SHOW;
}

TAppExecute::TAppExecute(ProgramStarter& starter, QObject* owner)
    : QObject(owner), starter_(starter) {}

QString TAppExecute::CommandLine() const {
    return appName_ + QLatin1Char(' ') + appParam_;
}

void TAppExecute::Execute() {
    const QString line = CommandLine();
    if (line.size() > MaxCommandLine) {
        appInstance_ = LineTooLong;
        return;
    }
    const int showCode = ShowCode(showType_);
    if (OnExecute)
        OnExecute(this);
    appInstance_ = static_cast<std::int32_t>(starter_.WinExec(line, showCode));
    // The start does not report when the program ends, so the wait is one
    // pass over the messages that are already queued; a loop waiting for an
    // end that is never reported would hang the program.
    if (waitForEnd_)
        QCoreApplication::processEvents();
}
