#pragma once

#include "platform/Errors.h"

#include <QtCore/QString>

// What pingbox-check ends with: one exit code per kind of failure, and at
// most one line on stderr.
enum ExitCode {
    exitOk = 0,
    exitOther = 1,
    exitUsage = 2,
    exitUnreachable = 3,
    exitLoginRefused = 4,
    exitTransient = 5,
    exitProtocol = 6,
    exitTls = 7,
    exitNoPassword = 8,
};

// A command line or stored account that cannot be used; ends with exitUsage.
class UsageError : public Exception {
public:
    using Exception::Exception;
};

void say(const QString& line);
