#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

#include "pop/pop3Login.h"

#include <optional>

// The command line, checked. Only an account given with --server and --user
// comes from here; its password never does.
struct Options {
    bool accountGiven = false;
    QString server;
    QString user;
    std::optional<QString> passwordFile;
    std::optional<QString> passwordCommand;
    std::optional<QString> caFile;
    std::optional<LoginMethod> auth; // else the stored one, or auto
    int checks = 1;
    int timeoutSeconds = 20;
    bool verbose = false;
};

// Raises UsageError for a command line that cannot be used; --help prints
// the help and ends the program.
Options parseOptions(const QStringList& arguments);
