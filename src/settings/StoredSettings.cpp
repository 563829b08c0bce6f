#include "StoredSettings.h"

#include "TKelEncryption.h"
#include "platform/Errors.h"
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

QString readValue(RegIniFile& store, const Place& place) {
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

// Reads every value it can: one that cannot be read takes its default and
// adds a line to problems, so that no unreadable value stops the rest.
class Reader {
public:
    Reader(RegistryStore& registry, QStringList& problems) : problems_(problems) {
        try {
            store_ = registry.Open(StoredSettings::StoreName);
        } catch (const Exception& e) {
            problems_ << e.Message();
        }
    }

    QString read(const Place& place) {
        if (!store_)
            return place.fallback;
        try {
            return readValue(*store_, place);
        } catch (const Exception& e) {
            problems_ << e.Message();
            return place.fallback;
        }
    }

    // The password's characters are never shown, not even in the error.
    QString password(TKelEncryption& kel) {
        const QString stored = read(pass);
        try {
            return applied(kel, stored, TActionType::atDecryption);
        } catch (const EConvertError&) {
            problems_ << StoredSettings::PasswordUnreadable;
            return pass.fallback;
        }
    }

private:
    std::unique_ptr<RegIniFile> store_;
    QStringList& problems_;
};

void readAccount(Reader& reader, TKelEncryption& kel, StoredSettings& settings) {
    settings.server = reader.read(host);
    settings.userName = reader.read(user);
    settings.password = reader.password(kel);
    settings.auth = reader.read(auth);
    settings.passCommand = reader.read(passCommand);
    settings.passStore = reader.read(passStore);
}

} // namespace

QStringList StoredSettings::Load(RegistryStore& registry, TKelEncryption& kel) {
    QStringList problems;
    Reader reader(registry, problems);
    readAccount(reader, kel, *this);
    checkTime = reader.read(checktime);
    soundFile = reader.read(soundPath);
    viewer = reader.read(viewerPath);
    showNetError = reader.read(showError);
    return problems;
}

QStringList StoredSettings::LoadAccount(RegistryStore& registry, TKelEncryption& kel) {
    QStringList problems;
    Reader reader(registry, problems);
    readAccount(reader, kel, *this);
    return problems;
}

const QString& StoredSettings::DefaultCheckTime() {
    return checktime.fallback;
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
