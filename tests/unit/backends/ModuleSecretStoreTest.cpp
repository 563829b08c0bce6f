// The keyring module that cannot be had: each way ends as NoService, with the
// reason in the message, from a later turn of the event loop, and is not
// tried again. (tests/integration/keyring loads the real module.)
#include "platform/linux/ModuleSecretStore.h"

#include <QtCore/QFile>
#include <QtCore/QLibraryInfo>
#include <QtCore/QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <optional>

namespace {

struct ModuleCase {
    const char* name;
    const char* placed; // what the first folder holds under the module's name
    const char* message;
};

TEST(ModuleSecretStore, AnUnusableModuleIsNoKeyring) {
    const ModuleCase cases[] = {
        {"in no folder", nullptr, "the keyring module pingbox-keyring.so is in none of "},
        {"not a library", "text", "the keyring module could not be loaded: "},
        {"a library without the factory", "library", " has no pingbox_keyring_create"},
    };
    for (const ModuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir first, second;
        const QString module = first.filePath(QStringLiteral("pingbox-keyring.so"));
        if (c.placed && QLatin1String(c.placed) == QLatin1String("text")) {
            QFile file(module);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("not a shared object\n");
        } else if (c.placed) {
            ASSERT_TRUE(QFile::link(QLibraryInfo::path(QLibraryInfo::LibrariesPath) +
                                        QStringLiteral("/libQt6Core.so.6"),
                                    module));
        }
        ModuleSecretStore store(QStringLiteral("pingbox-keyring.so"),
                                {first.path(), second.path()});
        for (int call = 0; call < 2; ++call) {
            std::optional<SecretStoreResult> result;
            if (call == 0)
                store.Read(QStringLiteral("pop3s://mail.example.org"), QStringLiteral("me"),
                           [&](const SecretStoreResult& r) { result = r; });
            else
                store.Write(QStringLiteral("pop3s://mail.example.org"), QStringLiteral("me"),
                            QStringLiteral("pw"), [&](const SecretStoreResult& r) { result = r; });
            EXPECT_FALSE(result.has_value()); // never from inside the call
            ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
            EXPECT_EQ(int(result->outcome), int(SecretStoreResult::Outcome::NoService));
            EXPECT_TRUE(result->secret.isEmpty());
            EXPECT_TRUE(result->message.contains(QLatin1String(c.message)))
                << result->message.toStdString();
            if (!c.placed) {
                EXPECT_TRUE(
                    result->message.endsWith(first.path() + QStringLiteral(", ") + second.path()));
            }
        }
    }
}

} // namespace
