// Moving the settings between the store and the configuration window's
// fields. The fields are the program's only working copy of the settings.
#include "TMainForm.h"

#include "components/StoredSettings.h"
#include "ui_TMainForm.h"

#include <QtCore/QScopeGuard>

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

void TMainForm::LoadSettings() {
    StoredSettings settings = fromFields(*ui_, login_);
    // A load that fails still shows what it read before the failure.
    const auto show = qScopeGuard([&] {
        toFields(*ui_, settings);
        login_ = {settings.auth, settings.passCommand, settings.passwordInKeyring()};
    });
    settings.Load(services_.registry, kel1_);
}

void TMainForm::SaveSettings() {
    fromFields(*ui_, login_).Save(services_.registry, kel1_);
}

void TMainForm::SaveNetErrorsOff() {
    StoredSettings::SaveNetErrorsOff(services_.registry);
    ui_->ShowNetError->setText(StoredSettings::NetErrorsOff);
}
