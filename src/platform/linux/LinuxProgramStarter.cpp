#include "LinuxProgramStarter.h"

#include <QtCore/QByteArray>
#include <QtCore/QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace commandline {

namespace {
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
} // namespace

QStringList splitArguments(QStringView text) {
    QStringList args;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (isBlank(c) && !inQuotes) {
            if (inArgument) {
                args.append(current);
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        inArgument = true;
        if (c == QLatin1Char('\\')) {
            qsizetype count = 0;
            while (i < n && text[i] == QLatin1Char('\\')) {
                ++count;
                ++i;
            }
            if (i < n && text[i] == QLatin1Char('"')) {
                current.append(QString(count / 2, QLatin1Char('\\')));
                if (count % 2 == 1) {
                    current.append(QLatin1Char('"'));
                    ++i;
                }
                // An even count leaves the quote to group, below.
            } else {
                current.append(QString(count, QLatin1Char('\\')));
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            if (inQuotes && i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                current.append(QLatin1Char('"'));
                i += 2;
                continue;
            }
            inQuotes = !inQuotes;
            ++i;
            continue;
        }
        current.append(c);
        ++i;
    }
    if (inArgument)
        args.append(current);
    return args;
}

std::vector<ProgramCandidate> programCandidates(QStringView line) {
    std::vector<ProgramCandidate> candidates;
    qsizetype start = 0;
    while (start < line.size() && isBlank(line[start]))
        ++start;
    if (start == line.size())
        return candidates;
    if (line[start] == QLatin1Char('"')) {
        const qsizetype close = line.indexOf(QLatin1Char('"'), start + 1);
        if (close < 0)
            candidates.push_back({line.mid(start + 1).toString(), QString()});
        else
            candidates.push_back({line.mid(start + 1, close - start - 1).toString(),
                                  line.mid(close + 1).toString()});
        return candidates;
    }
    for (qsizetype i = start + 1; i < line.size(); ++i) {
        if (isBlank(line[i]) && !isBlank(line[i - 1]))
            candidates.push_back({line.mid(start, i - start).toString(), line.mid(i).toString()});
    }
    if (!isBlank(line.back()))
        candidates.push_back({line.mid(start).toString(), QString()});
    return candidates;
}

} // namespace commandline

namespace {

constexpr std::uint32_t OutOfResources = 0;
constexpr std::uint32_t FileNotFound = 2;
constexpr std::uint32_t PathNotFound = 3;
constexpr std::uint32_t BadFormat = 11;

struct Located {
    QByteArray path; // empty when not found
    std::uint32_t failure = FileNotFound;
};

bool isFolder(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::uint32_t missingFileCode(const QByteArray& path, int error) {
    switch (error) {
    case ENOENT: {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray folder = slash == 0 ? QByteArray("/") : path.left(slash);
        return isFolder(folder) ? FileNotFound : PathNotFound;
    }
    case ENOTDIR:
    case EACCES:
    case ELOOP:
    case ENAMETOOLONG:
        return PathNotFound;
    default:
        return FileNotFound;
    }
}

Located locatePath(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return {{}, missingFileCode(path, errno)};
    if (S_ISDIR(st.st_mode))
        return {{}, BadFormat};
    return {path, 0};
}

QByteArray searchPath() {
    const QByteArray path = qgetenv("PATH");
    if (!path.isEmpty())
        return path;
    const size_t size = ::confstr(_CS_PATH, nullptr, 0);
    QByteArray fallback(static_cast<qsizetype>(size), '\0');
    if (size == 0 || ::confstr(_CS_PATH, fallback.data(), size) == 0)
        return "/bin:/usr/bin";
    fallback.chop(1);
    return fallback;
}

// A bare name is looked up on PATH only: empty entries, which would mean the
// working folder, are skipped so that a name never picks up a file from
// wherever the program happens to run. An executable file wins over an
// earlier one that is not.
Located locateName(const QByteArray& name) {
    QByteArray firstFile;
    for (const QByteArray& folder : searchPath().split(':')) {
        if (folder.isEmpty())
            continue;
        const QByteArray candidate = folder + '/' + name;
        struct stat st {};
        if (::stat(candidate.constData(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;
        if (::access(candidate.constData(), X_OK) == 0)
            return {candidate, 0};
        if (firstFile.isEmpty())
            firstFile = candidate;
    }
    if (!firstFile.isEmpty())
        return {firstFile, 0};
    return {{}, FileNotFound};
}

Located locate(const QString& program) {
    if (program.isEmpty())
        return {{}, FileNotFound};
    const QByteArray encoded = QFile::encodeName(program);
    return program.contains(QLatin1Char('/')) ? locatePath(encoded) : locateName(encoded);
}

std::uint32_t execFailureCode(int error) {
    switch (error) {
    case ENOENT:
        return FileNotFound;
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return PathNotFound;
    case E2BIG:
    case ENOMEM:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
        return OutOfResources;
    default:
        return BadFormat;
    }
}

// Everything the started process needs, built before the fork: between fork
// and exec only async-signal-safe calls are allowed, so nothing there may
// allocate.
struct SpawnPlan {
    QByteArray executable;
    std::vector<QByteArray> argumentStore;
    std::vector<QByteArray> environmentStore;
    std::vector<char*> argv;
    std::vector<char*> envp;
    int highestDescriptor = 0;
};

[[noreturn]] void failInChild(int reportFd, int error) {
    // Nothing useful is left to do if the report cannot be written.
    [[maybe_unused]] const ssize_t written = ::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

// Closes first..last; last < 0 means all the way up, looping up to
// loopLast where the kernel cannot close a range.
void closeDescriptors(int first, int last, int loopLast) {
    if (last >= 0 && first > last)
        return;
    const unsigned rangeEnd = last < 0 ? ~0U : static_cast<unsigned>(last);
    if (::close_range(static_cast<unsigned>(first), rangeEnd, 0) == 0)
        return;
    for (int fd = first; fd <= (last < 0 ? loopLast : last); ++fd)
        ::close(fd);
}

[[noreturn]] void runStartedProgram(const SpawnPlan& plan, int reportFd) {
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Ignored signals stay ignored across exec; the program gets the defaults.
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction current {};
        if (::sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            struct sigaction standard {};
            standard.sa_handler = SIG_DFL;
            ::sigaction(sig, &standard, nullptr);
        }
    }
    // With our own standard descriptors closed the pipe may sit among them.
    if (reportFd <= STDERR_FILENO) {
        reportFd = ::fcntl(reportFd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        if (reportFd < 0)
            ::_exit(127);
    }
    // stdin reads nothing; stdout and stderr stay ours unless we have none.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fd != STDIN_FILENO && ::fcntl(fd, F_GETFD) >= 0)
            continue;
        const int devNull = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (devNull < 0 || (devNull != fd && ::dup2(devNull, fd) < 0))
            failInChild(reportFd, errno);
        if (devNull != fd)
            ::close(devNull);
    }
    // The report pipe closes itself on exec; nothing else of ours passes on.
    closeDescriptors(STDERR_FILENO + 1, reportFd - 1, 0);
    closeDescriptors(reportFd + 1, -1, plan.highestDescriptor);
    ::execve(plan.executable.constData(), plan.argv.data(), plan.envp.data());
    failInChild(reportFd, errno);
}

std::uint32_t spawn(SpawnPlan& plan) {
    for (QByteArray& arg : plan.argumentStore)
        plan.argv.push_back(arg.data());
    plan.argv.push_back(nullptr);
    for (QByteArray& entry : plan.environmentStore)
        plan.envp.push_back(entry.data());
    plan.envp.push_back(nullptr);
    const long openMax = ::sysconf(_SC_OPEN_MAX);
    plan.highestDescriptor = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) : 65536;

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return OutOfResources;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return OutOfResources;
    }
    if (child == 0) {
        ::close(report[0]);
        // A session of its own, and a second fork so that the program is
        // adopted by the system, not left as our child.
        ::setsid();
        const pid_t program = ::fork();
        if (program < 0)
            failInChild(report[1], errno);
        if (program > 0)
            ::_exit(0);
        runStartedProgram(plan, report[1]);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe reaches end of file when the exec succeeds (close on exec)
    // and carries errno when it fails.
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got == 0)
        return LinuxProgramStarter::Started;
    if (got != static_cast<ssize_t>(sizeof error))
        return OutOfResources;
    return execFailureCode(error);
}

} // namespace

std::uint32_t LinuxProgramStarter::WinExec(const QString& commandLine, int showCode) {
    lastShowCode_ = showCode;
    // The line ends at a NUL, as the zero-terminated line it stands for does.
    const qsizetype nul = commandLine.indexOf(QChar(u'\0'));
    const QStringView line = QStringView(commandLine).left(nul < 0 ? commandLine.size() : nul);

    const std::vector<commandline::ProgramCandidate> candidates =
        commandline::programCandidates(line);
    if (candidates.empty())
        return FileNotFound;
    Located found;
    const commandline::ProgramCandidate* chosen = nullptr;
    for (const commandline::ProgramCandidate& candidate : candidates) {
        found = locate(candidate.program);
        if (!found.path.isEmpty()) {
            chosen = &candidate;
            break;
        }
    }
    if (chosen == nullptr)
        return found.failure;
    if (::access(found.path.constData(), X_OK) != 0)
        return errno == EACCES ? BadFormat : execFailureCode(errno);

    SpawnPlan plan;
    plan.executable = found.path;
    plan.argumentStore.push_back(QFile::encodeName(chosen->program));
    for (const QString& arg : commandline::splitArguments(chosen->rest))
        plan.argumentStore.push_back(QFile::encodeName(arg));
    const QByteArray showPrefix = QByteArray(ShowCodeVariable) + '=';
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, showPrefix.constData(), showPrefix.size()) != 0)
            plan.environmentStore.emplace_back(*entry);
    }
    plan.environmentStore.push_back(showPrefix + QByteArray::number(showCode));
    return spawn(plan);
}
