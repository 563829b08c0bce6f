#include "QtKeychainStore.h"

#include <QtCore/QTimer>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>
#include <qt6keychain/keychain.h>

#include <memory>

namespace {

using Outcome = SecretStoreResult::Outcome;

Outcome outcomeOf(QKeychain::Error error) {
    switch (error) {
    case QKeychain::NoError:
        return Outcome::Ok;
    case QKeychain::EntryNotFound:
        return Outcome::NotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        return Outcome::Refused;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return Outcome::NoService;
    default:
        return Outcome::Failed;
    }
}

// Runs job with the time limit; done gets the first of the job's end and the
// limit. A job that ends after the limit deletes itself unheard.
template <typename JobType, typename Read>
void run(QObject* owner, JobType* job, int limitMs, SecretStore::Done done, Read read) {
    auto answered = std::make_shared<bool>(false);
    auto shared = std::make_shared<SecretStore::Done>(std::move(done));
    auto* timer = new QTimer(owner);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, owner, [answered, shared, timer] {
        timer->deleteLater();
        if (*answered)
            return;
        *answered = true;
        (*shared)({Outcome::TimedOut, {}, QStringLiteral("the keyring did not answer in time")});
    });
    QObject::connect(job, &QKeychain::Job::finished, owner,
                     [answered, shared, timer, read](QKeychain::Job* finished) {
                         if (*answered)
                             return;
                         *answered = true;
                         timer->stop();
                         timer->deleteLater();
                         SecretStoreResult result;
                         result.outcome = outcomeOf(finished->error());
                         if (result.outcome == Outcome::Ok)
                             result.secret = read(static_cast<JobType*>(finished));
                         else
                             result.message = finished->errorString();
                         (*shared)(result);
                     });
    job->setAutoDelete(true);
    // Never the file QtKeychain falls back to when no keyring runs.
    job->setInsecureFallback(false);
    timer->start(limitMs);
    job->start();
}

using Attributes = QMap<QString, QString>;

// A locked keyring whose unlock prompt is dismissed (or cannot be shown) looks
// to QtKeychain like a missing entry. The Secret Service itself tells the
// two apart: it lists locked items apart from unlocked ones.
void askWhetherLocked(QObject* owner, const QString& service, const QString& user,
                      SecretStore::Done done) {
    qDBusRegisterMetaType<Attributes>();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("SearchItems"));
    call << QVariant::fromValue(
        Attributes{{QStringLiteral("server"), service}, {QStringLiteral("user"), user}});
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 5000), owner);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, owner, [watcher, done = std::move(done)] {
            watcher->deleteLater();
            const QDBusPendingReply<QList<QDBusObjectPath>, QList<QDBusObjectPath>> reply =
                *watcher;
            if (!reply.isError() && !reply.argumentAt<1>().isEmpty())
                done({Outcome::Refused,
                      {},
                      QStringLiteral("the keyring is locked and was not unlocked")});
            else
                done({Outcome::NotFound, {}, QStringLiteral("no such entry")});
        });
}

} // namespace

void QtKeychainStore::Read(const QString& server, const QString& user, Done done) {
    auto* job = new QKeychain::ReadPasswordJob(serviceOf(server));
    job->setKey(user);
    run(
        this, job, timeLimitMs_,
        [this, service = serviceOf(server), user, done](const SecretStoreResult& result) {
            if (result.outcome == Outcome::NotFound)
                askWhetherLocked(this, service, user, done);
            else
                done(result);
        },
        [](QKeychain::ReadPasswordJob* j) { return j->textData(); });
}

void QtKeychainStore::Write(const QString& server, const QString& user, const QString& secret,
                            Done done) {
    auto* job = new QKeychain::WritePasswordJob(serviceOf(server));
    job->setKey(user);
    job->setTextData(secret);
    run(this, job, timeLimitMs_, std::move(done),
        [](QKeychain::WritePasswordJob*) { return QString(); });
}
