#pragma once

#include "platform/SecretStore.h"

#include <QtCore/QObject>
#include <QtCore/QStringList>

#include <memory>

// The function a keyring module exports: a new store that the caller owns.
extern "C" {
using SecretStoreFactory = SecretStore* (*)();
}
inline constexpr char secretStoreFactoryName[] = "pingbox_keyring_create";

// SecretStore from a shared module that is loaded on first use. The desktop
// keyring's backend brings Qt D-Bus, libsecret and glib with it, which a
// command-line check that keeps its password elsewhere should not pay for at
// every start. The module is looked for in the folders in their order; one
// that cannot be found or loaded makes every call end as NoService with the
// reason in the message (the caller's "no keyring" error), never anything
// else. A loaded module stays loaded for the rest of the process.
class ModuleSecretStore : public QObject, public SecretStore {
public:
    ModuleSecretStore(QString fileName, QStringList folders);
    ~ModuleSecretStore() override;

    void Read(const QString& server, const QString& user, Done done) override;
    void Write(const QString& server, const QString& user, const QString& secret,
               Done done) override;

private:
    SecretStore* store(); // nullptr with problem_ set when the module is unusable
    void fail(Done done);

    QString fileName_;
    QStringList folders_;
    bool tried_ = false;
    std::unique_ptr<SecretStore> loaded_;
    QString problem_;
};
