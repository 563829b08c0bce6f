#pragma once

#include <QtCore/QString>

#include <cstdint>

// Window show codes passed with a program start.
enum : int {
    SW_HIDE = 0,
    SW_SHOWNORMAL = 1,
    SW_SHOWMINIMIZED = 2,
    SW_SHOWMAXIMIZED = 3,
    SW_MAXIMIZE = 3,
    SW_SHOWNOACTIVATE = 4,
    SW_SHOW = 5,
    SW_MINIMIZE = 6,
    SW_SHOWMINNOACTIVE = 7,
    SW_SHOWNA = 8,
    // SW_RESTORE = 9 is declared with the single-instance functions.
    SW_SHOWDEFAULT = 10,
};

// Starts a program from a command line, the way the system's WinExec does:
// the result is above 31 for a start, otherwise 0 (out of resources), 2 (file
// not found), 3 (path not found) or 11 (not a valid program).
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    virtual std::uint32_t WinExec(const QString& commandLine, int showCode) = 0;
};
