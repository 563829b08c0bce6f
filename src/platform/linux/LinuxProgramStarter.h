#pragma once

#include "platform/ProgramStarter.h"

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QStringView>

#include <vector>

// Reading a command line as the system it was written for reads it.
namespace commandline {

// The arguments after the program: blanks and tabs separate them; double
// quotes group; 2n backslashes before a quote give n backslashes and the
// quote groups, 2n+1 give n and a literal quote; "" inside quotes is a
// literal quote; other backslashes are literal.
QStringList splitArguments(QStringView text);

struct ProgramCandidate {
    QString program; // the program's text, without quotes
    QString rest;    // the remainder of the line, still to be split
};

// The readings of the program part, in the order they are tried. A quoted
// program gives one: the text up to the next quote. An unquoted one gives
// each prefix that ends before a run of blanks, shortest first, then the
// whole line, so an unquoted path with blanks is still found. Leading blanks
// are skipped; a blank line gives none.
std::vector<ProgramCandidate> programCandidates(QStringView line);

} // namespace commandline

// Starts programs from a command line directly, never through a shell, in a
// session of their own with stdin on /dev/null and no descriptors of ours
// but stdout and stderr. The started program is not our child, so it leaves
// no zombie and does not end with us. It runs in our working folder.
//
// Results: Started for a start; 0 when out of resources (no fork, no memory,
// a too long argument list); 2 when the file does not exist in an existing
// folder (or a bare name is not on PATH); 3 when a folder of the path does
// not exist or cannot be searched; 11 when the file exists but is not a
// program we can run (not executable, a folder, or not a format the kernel
// runs: there is no fallback to a shell). When no reading of an unquoted
// line names a file, the result is that of the whole line read as a path.
//
// A desktop has no general way to be told how a new program's first window
// is shown, so the show code is handed to the program in the environment
// variable PINGBOX_SHOW_CODE and kept in LastShowCode.
class LinuxProgramStarter : public ProgramStarter {
public:
    static constexpr std::uint32_t Started = 33;
    static constexpr const char* ShowCodeVariable = "PINGBOX_SHOW_CODE";

    std::uint32_t WinExec(const QString& commandLine, int showCode) override;

    int LastShowCode() const { return lastShowCode_; }

private:
    int lastShowCode_ = -1;
};
