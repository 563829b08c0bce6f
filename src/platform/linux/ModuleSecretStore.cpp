#include "ModuleSecretStore.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLibrary>
#include <QtCore/QTimer>

ModuleSecretStore::ModuleSecretStore(QString fileName, QStringList folders)
    : fileName_(std::move(fileName)), folders_(std::move(folders)) {}

// The store's code lives in the module, which is never unloaded.
ModuleSecretStore::~ModuleSecretStore() = default;

void ModuleSecretStore::Read(const QString& server, const QString& user, Done done) {
    if (SecretStore* s = store())
        s->Read(server, user, std::move(done));
    else
        fail(std::move(done));
}

void ModuleSecretStore::Write(const QString& server, const QString& user, const QString& secret,
                              Done done) {
    if (SecretStore* s = store())
        s->Write(server, user, secret, std::move(done));
    else
        fail(std::move(done));
}

SecretStore* ModuleSecretStore::store() {
    if (tried_)
        return loaded_.get();
    tried_ = true;
    for (const QString& folder : folders_) {
        const QString path = QDir(folder).filePath(fileName_);
        if (folder.isEmpty() || !QFileInfo(path).isFile())
            continue;
        QLibrary library(path);
        if (!library.load()) {
            problem_ = QStringLiteral("the keyring module could not be loaded: %1")
                           .arg(library.errorString());
            return nullptr;
        }
        auto create = reinterpret_cast<SecretStoreFactory>(library.resolve(secretStoreFactoryName));
        if (!create) {
            problem_ = QStringLiteral("the keyring module %1 has no %2")
                           .arg(path, QLatin1String(secretStoreFactoryName));
            return nullptr;
        }
        loaded_.reset(create());
        if (!loaded_)
            problem_ = QStringLiteral("the keyring module %1 made no keyring").arg(path);
        return loaded_.get();
    }
    problem_ = QStringLiteral("the keyring module %1 is in none of %2")
                   .arg(fileName_, folders_.join(QStringLiteral(", ")));
    return nullptr;
}

// As a keyring would: from a later turn of the event loop.
void ModuleSecretStore::fail(Done done) {
    QTimer::singleShot(0, this, [done = std::move(done), problem = problem_] {
        done({SecretStoreResult::Outcome::NoService, {}, problem});
    });
}
