#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

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
    // Said instead of the stored text, which would show part of the password.
    static inline const QString PasswordUnreadable =
        QStringLiteral("The stored password cannot be read; please enter it again.");
    // The check interval in minutes that a missing or unreadable value means.
    static const QString& DefaultCheckTime();

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

    // Reads every value, unscrambling the password with kel. A value that is
    // missing or cannot be read (nor the store opened, nor the password
    // unscrambled) takes its default, and the load goes on; returns one line
    // per value that could not be read, empty when all could.
    QStringList Load(RegistryStore& registry, TKelEncryption& kel);
    // Reads only server, user name and password, the same way.
    QStringList LoadAccount(RegistryStore& registry, TKelEncryption& kel);
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
