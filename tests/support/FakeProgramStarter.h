#pragma once

#include "platform/ProgramStarter.h"

#include <QtCore/QString>

#include <deque>
#include <vector>

// Records every start; answers from a scripted queue, then 33 (started).
class FakeProgramStarter : public ProgramStarter {
public:
    struct Start {
        QString commandLine;
        int showCode;
    };
    std::uint32_t WinExec(const QString& commandLine, int showCode) override {
        starts.push_back({commandLine, showCode});
        if (results.empty())
            return 33;
        const auto r = results.front();
        results.pop_front();
        return r;
    }
    std::vector<Start> starts;
    std::deque<std::uint32_t> results;
};
