#pragma once

#include "platform/SecretStore.h"

#include <QtCore/QStringList>

#include <vector>

// A keyring whose calls wait until the test finishes them, oldest first;
// each call is recorded as "read server user" or "write server user".
class FakeSecretStore : public SecretStore {
public:
    void Read(const QString& server, const QString& user, Done done) override {
        calls << QStringLiteral("read %1 %2").arg(server, user);
        waiting.push_back(std::move(done));
    }
    void Write(const QString& server, const QString& user, const QString& secret,
               Done done) override {
        calls << QStringLiteral("write %1 %2").arg(server, user);
        written << secret;
        waiting.push_back(std::move(done));
    }

    void finish(const SecretStoreResult& result) {
        auto done = std::move(waiting.front());
        waiting.erase(waiting.begin());
        done(result);
    }

    QStringList calls;
    QStringList written;
    std::vector<Done> waiting;
};
