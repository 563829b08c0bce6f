#include "settings/StoredSettings.h"
#include "FixedRandom.h"
#include "MemoryRegistry.h"
#include "settings/TKelEncryption.h"

#include <gtest/gtest.h>

namespace {

class StoredSettingsTest : public ::testing::Test {
protected:
    MemoryRegistry registry;
    FixedRandom random{0x5A, 0x11};
    TKelEncryption kel{random};

    void store(const char* section, const char* ident, const QString& value) {
        registry.values[MemoryRegistry::key(section, ident)] = value;
    }
    QString stored(const char* section, const char* ident) const {
        return registry.values.value(MemoryRegistry::key(section, ident),
                                     QStringLiteral("<absent>"));
    }
};

} // namespace

TEST_F(StoredSettingsTest, EmptyStoreLoadsTheDefaults) {
    StoredSettings s;
    s.Load(registry, kel);
    EXPECT_EQ(s.server, "");
    EXPECT_EQ(s.userName, "");
    EXPECT_EQ(s.password, "");
    EXPECT_EQ(s.checkTime, "15");
    EXPECT_EQ(s.soundFile, "newmail.wav");
    EXPECT_EQ(s.viewer, "");
    EXPECT_EQ(s.showNetError, "true");
    EXPECT_EQ(registry.lastFileName, "Pingbox");
    EXPECT_EQ(registry.openNow, 0);
}

TEST_F(StoredSettingsTest, UnreadableValuesAndABadPasswordTakeTheirDefaultsAndTheLoadGoesOn) {
    store("Server", "Host", "h");
    store("Server", "Pass", "ZZ");
    store("Options", "Checktime", "5");
    store("Viewer", "Path", "v");
    StoredSettings s;
    s.checkTime = "initial";
    EXPECT_EQ(s.Load(registry, kel), QStringList{StoredSettings::PasswordUnreadable});
    EXPECT_EQ(s.server, "h");
    EXPECT_EQ(s.password, ""); // never the stored text
    EXPECT_EQ(s.checkTime, "5");
    EXPECT_EQ(registry.openNow, 0);

    registry.unreadable.insert(MemoryRegistry::key("Server", "User"));
    registry.unreadable.insert(MemoryRegistry::key("Options", "Checktime"));
    const QStringList problems = s.Load(registry, kel);
    EXPECT_EQ(problems.size(), 3);
    EXPECT_EQ(s.userName, "");
    EXPECT_EQ(s.checkTime, "15");
    EXPECT_EQ(s.viewer, "v");

    registry.failOpen = true;
    s.server = "kept?";
    EXPECT_EQ(s.Load(registry, kel).size(), 1);
    EXPECT_EQ(s.server, "");
    EXPECT_EQ(s.soundFile, "newmail.wav");
}

TEST_F(StoredSettingsTest, AccountLoadReadsNothingAfterThePassword) {
    store("Server", "Host", "pop.example.net");
    store("Server", "User", "alice");
    store("Server", "Pass", TKelEncryption::Scramble("pw", "kestrel", 9));
    store("Server", "PassCommand", "pass show mail/alice");
    store("Server", "PassStore", "keyring");
    registry.unreadable.insert(MemoryRegistry::key("Options", "Checktime"));
    StoredSettings s;
    EXPECT_TRUE(s.LoadAccount(registry, kel).isEmpty());
    EXPECT_EQ(s.auth, "auto");
    EXPECT_EQ(s.passCommand, "pass show mail/alice");
    EXPECT_TRUE(s.passwordInKeyring());
    EXPECT_EQ(s.server, "pop.example.net");
    EXPECT_EQ(s.userName, "alice");
    EXPECT_EQ(s.password, "pw");
    EXPECT_EQ(registry.openNow, 0);
}

TEST_F(StoredSettingsTest, SaveWritesEverySettingAsHeldWithThePasswordScrambled) {
    StoredSettings s{.server = "pop.example.net",
                     .userName = "alice",
                     .password = QStringLiteral("sécret"),
                     .checkTime = "",
                     .soundFile = " ding.wav ",
                     .viewer = "",
                     .showNetError = "true",
                     .auth = "xoauth2",
                     .passCommand = "oama access alice",
                     .passStore = ""};
    s.Save(registry, kel);
    s.Save(registry, kel);
    EXPECT_EQ(stored("Server", "Host"), "pop.example.net");
    EXPECT_EQ(stored("Server", "User"), "alice");
    EXPECT_EQ(stored("Options", "Checktime"), "");
    EXPECT_EQ(stored("SoundFile", "Path"), " ding.wav ");
    EXPECT_EQ(stored("Viewer", "Path"), "");
    EXPECT_EQ(stored("Server", "ShowError"), "<absent>"); // never written by a save
    const QString pass = stored("Server", "Pass");
    EXPECT_EQ(pass.size(), 2 + 2 * QStringLiteral("sécret").toUtf8().size());
    EXPECT_EQ(TKelEncryption::Unscramble(pass, "kestrel"), QStringLiteral("sécret").toUtf8());
    EXPECT_TRUE(pass.startsWith("11")); // the second save drew a fresh seed

    s.password = "";
    s.Save(registry, kel);
    EXPECT_EQ(stored("Server", "Pass"), "");
    StoredSettings back;
    back.Load(registry, kel);
    EXPECT_EQ(back.password, "");
    EXPECT_EQ(back.checkTime, ""); // empty, not the default

    // The window has no fields for these: a save leaves them as the file has them.
    EXPECT_EQ(stored("Server", "Auth"), "<absent>");
    EXPECT_EQ(stored("Server", "PassCommand"), "<absent>");
    EXPECT_EQ(back.auth, "auto");
    // A password kept in the keyring never reaches the file.
    s.password = "in the keyring";
    s.passStore = " Keyring";
    ASSERT_TRUE(s.passwordInKeyring());
    s.Save(registry, kel);
    EXPECT_EQ(stored("Server", "Pass"), "");
}

TEST_F(StoredSettingsTest, NetErrorsOffWritesOnlyFalse) {
    StoredSettings::SaveNetErrorsOff(registry);
    EXPECT_EQ(registry.values, (QMap<QString, QString>{{"Server/ShowError", "false"}}));
    EXPECT_EQ(registry.openNow, 0);
}
