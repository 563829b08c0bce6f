#include "Account.h"

#include "Options.h"
#include "Outcome.h"
#include "platform/RandomSource.h"
#include "platform/linux/IniFileStore.h"
#include "settings/TKelEncryption.h"

#include <QtCore/QFile>

namespace {

QString firstLineOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError(
            QStringLiteral("cannot read the --password-file: %1").arg(file.errorString()));
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

StoredSettings givenAccount(const Options& options) {
    StoredSettings account;
    account.server = options.server;
    account.userName = options.user;
    if (options.passwordCommand)
        account.passCommand = *options.passwordCommand;
    else if (options.passwordFile)
        account.password = firstLineOf(*options.passwordFile);
    else if (qEnvironmentVariableIsSet("PINGBOX_PASSWORD"))
        account.password = qEnvironmentVariable("PINGBOX_PASSWORD");
    else
        throw UsageError(QStringLiteral(
            "no password: use --password-file, --password-command or PINGBOX_PASSWORD"));
    return account;
}

StoredSettings storedAccount() {
    IniFileStore store(IniFileStore::defaultFolder());
    StoredSettings account;
    SystemRandom random;
    TKelEncryption encryption(random);
    const QStringList problems = account.LoadAccount(store, encryption);
    if (!problems.isEmpty())
        throw UsageError(QStringLiteral("cannot read Pingbox's settings: %1")
                             .arg(problems.join(QStringLiteral(" "))));
    if (account.server.isEmpty() || account.userName.isEmpty())
        throw UsageError(QStringLiteral("no account stored in %1; give --server and --user")
                             .arg(store.pathOf(StoredSettings::StoreName)));
    return account;
}

} // namespace

StoredSettings accountFor(const Options& options) {
    StoredSettings account = options.accountGiven ? givenAccount(options) : storedAccount();
    if (options.passwordCommand)
        account.passCommand = *options.passwordCommand;
    return account;
}
