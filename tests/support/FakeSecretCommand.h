#pragma once

#include "platform/SecretCommand.h"

#include <QtCore/QStringList>

#include <vector>

// Records each command line and keeps its callback until the test finishes
// the run with finish().
class FakeSecretCommand : public SecretCommand {
public:
    void Run(const QString& commandLine,
             std::function<void(const SecretCommandResult&)> done) override {
        lines << commandLine;
        running.push_back(std::move(done));
    }

    // Ends the oldest run still going with result.
    void finish(const SecretCommandResult& result) {
        auto done = std::move(running.front());
        running.erase(running.begin());
        done(result);
    }

    QStringList lines;
    std::vector<std::function<void(const SecretCommandResult&)>> running;
};
