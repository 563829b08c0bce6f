#pragma once

#include <QtCore/QString>

class RegistryStore;
class TKelEncryption;

// The settings kept between runs, each as the text the store holds (numbers
// and flags too), the password in clear. Every load and save opens the store
// for its own length.
struct StoredSettings {
    static inline const QString StoreName = QStringLiteral("Pingbox");
    // Every stored password depends on this key: changing it loses them all.
    static inline const QString PasswordKey = QStringLiteral("kestrel");
    // The only value the program ever gives the show-errors flag.
    static inline const QString NetErrorsOff = QStringLiteral("false");

    QString server;
    QString userName;
    QString password;
    QString checkTime;
    QString soundFile;
    QString viewer;
    QString showNetError;
    // Kept in the file only; the configuration window has no fields for them.
    QString auth;        // login method: auto, user, plain, apop, xoauth2, oauthbearer
    QString passCommand; // a command whose first line of output is the password
    QString passStore;   // "keyring": the password lives in the desktop keyring

    static inline const QString KeyringStore = QStringLiteral("keyring");
    bool passwordInKeyring() const { return passStore.trimmed().toLower() == KeyringStore; }

    // Reads every value, a missing one as its default, unscrambling the
    // password with kel. A failing read stops the load: the values before it
    // are replaced, the later ones keep what they held, and a password that
    // cannot be unscrambled stays as stored.
    void Load(RegistryStore& registry, TKelEncryption& kel);
    // Reads only server, user name and password, the same way, so that a
    // broken later value cannot stop a caller that needs just the account.
    void LoadAccount(RegistryStore& registry, TKelEncryption& kel);
    // Writes every value of the configuration window but the show-errors flag
    // exactly as held, the password scrambled with kel (not at all when it
    // lives in the keyring). A refused write stops the save; the values before
    // it stay written.
    void Save(RegistryStore& registry, TKelEncryption& kel) const;
    // Empties the password in the file, once the keyring holds it.
    static void ForgetFilePassword(RegistryStore& registry);
    // Stores the show-errors flag as NetErrorsOff and nothing else.
    static void SaveNetErrorsOff(RegistryStore& registry);
};
