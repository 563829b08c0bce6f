// Moving the settings between the store and the configuration window's
// fields. The fields are the program's only working copy of the settings.
#include "TMainForm.h"

#include "settings/StoredSettings.h"
#include "ui_TMainForm.h"

namespace {

StoredSettings fromFields(const Ui::TMainForm& ui, const LoginSettings& login) {
    return StoredSettings{
        ui.ePOPServer->text(),   ui.eUserName->text(),
        ui.ePassword->text(),    ui.EditCheckTime->text(),
        ui.SoundFile->text(),    ui.Viewer->text(),
        ui.ShowNetError->text(), login.auth,
        login.passCommand,       login.keyring ? StoredSettings::KeyringStore : QString()};
}

void toFields(Ui::TMainForm& ui, const StoredSettings& settings) {
    ui.ePOPServer->setText(settings.server);
    ui.eUserName->setText(settings.userName);
    ui.ePassword->setText(settings.password);
    ui.EditCheckTime->setText(settings.checkTime);
    ui.SoundFile->setText(settings.soundFile);
    ui.Viewer->setText(settings.viewer);
    ui.ShowNetError->setText(settings.showNetError);
}

} // namespace

QStringList TMainForm::LoadSettings() {
    StoredSettings settings = fromFields(*ui_, login_);
    QStringList problems = settings.Load(services_.registry, kel1_);
    login_ = {settings.auth, settings.passCommand, settings.passwordInKeyring()};
    toFields(*ui_, settings);
    return problems;
}

void TMainForm::SaveSettings() {
    const StoredSettings settings = fromFields(*ui_, login_);
    settings.Save(services_.registry, kel1_);
    // An empty field is no password to keep: with the keyring the field
    // starts empty, and the entry there stays as it is.
    if (!login_.keyring || settings.password.isEmpty())
        return;
    credentials_->Store(settings.server, settings.userName, settings.password,
                        [this](const mail::Credentials::Result& result) {
                            if (result.error) {
                                ReportCheckError(result.error, result.detail);
                                return;
                            }
                            StoredSettings::ForgetFilePassword(services_.registry);
                        });
}

void TMainForm::SaveNetErrorsOff() {
    StoredSettings::SaveNetErrorsOff(services_.registry);
    ui_->ShowNetError->setText(StoredSettings::NetErrorsOff);
}
