#include "StoredSettings.h"

#include "TKelEncryption.h"
#include "platform/RegIniFile.h"

namespace {

// Where a value lives in the store, and what a missing one reads as.
struct Place {
    QString section;
    QString ident;
    QString fallback;
};

const Place host{QStringLiteral("Server"), QStringLiteral("Host"), {}};
const Place user{QStringLiteral("Server"), QStringLiteral("User"), {}};
const Place pass{QStringLiteral("Server"), QStringLiteral("Pass"), {}};
const Place auth{QStringLiteral("Server"), QStringLiteral("Auth"), QStringLiteral("auto")};
const Place passCommand{QStringLiteral("Server"), QStringLiteral("PassCommand"), {}};
const Place passStore{QStringLiteral("Server"), QStringLiteral("PassStore"), {}};
const Place checktime{QStringLiteral("Options"), QStringLiteral("Checktime"), QStringLiteral("15")};
const Place soundPath{QStringLiteral("SoundFile"), QStringLiteral("Path"),
                      QStringLiteral("newmail.wav")};
const Place viewerPath{QStringLiteral("Viewer"), QStringLiteral("Path"), {}};
const Place showError{QStringLiteral("Server"), QStringLiteral("ShowError"),
                      QStringLiteral("true")};

QString read(RegIniFile& store, const Place& place) {
    return store.ReadString(place.section, place.ident, place.fallback);
}

void write(RegIniFile& store, const Place& place, const QString& value) {
    store.WriteString(place.section, place.ident, value);
}

QString applied(TKelEncryption& kel, const QString& input, TActionType action) {
    kel.SetInput(input);
    kel.SetKey(StoredSettings::PasswordKey);
    kel.SetAction(action);
    kel.Apply();
    return kel.Output();
}

void readAccount(RegIniFile& store, TKelEncryption& kel, StoredSettings& settings) {
    settings.server = read(store, host);
    settings.userName = read(store, user);
    settings.password = read(store, pass);
    settings.password = applied(kel, settings.password, TActionType::atDecryption);
    settings.auth = read(store, auth);
    settings.passCommand = read(store, passCommand);
    settings.passStore = read(store, passStore);
}

} // namespace

void StoredSettings::Load(RegistryStore& registry, TKelEncryption& kel) {
    const std::unique_ptr<RegIniFile> store = registry.Open(StoreName);
    readAccount(*store, kel, *this);
    checkTime = read(*store, checktime);
    soundFile = read(*store, soundPath);
    viewer = read(*store, viewerPath);
    showNetError = read(*store, showError);
}

void StoredSettings::LoadAccount(RegistryStore& registry, TKelEncryption& kel) {
    readAccount(*registry.Open(StoreName), kel, *this);
}

void StoredSettings::Save(RegistryStore& registry, TKelEncryption& kel) const {
    const std::unique_ptr<RegIniFile> store = registry.Open(StoreName);
    write(*store, host, server);
    write(*store, user, userName);
    if (!passwordInKeyring())
        write(*store, pass, applied(kel, password, TActionType::atEncryption));
    write(*store, checktime, checkTime);
    write(*store, soundPath, soundFile);
    write(*store, viewerPath, viewer);
}

void StoredSettings::ForgetFilePassword(RegistryStore& registry) {
    write(*registry.Open(StoreName), pass, {});
}

void StoredSettings::SaveNetErrorsOff(RegistryStore& registry) {
    write(*registry.Open(StoreName), showError, NetErrorsOff);
}
