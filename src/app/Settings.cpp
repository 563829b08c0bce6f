// Moving the settings between the store and the configuration window's
// fields. The fields are the program's only working copy of the settings.
#include "TMainForm.h"

#include "settings/StoredSettings.h"
#include "ui_TMainForm.h"

namespace {

StoredSettings fromFields(const Ui::TMainForm& ui) {
    return StoredSettings{ui.ePOPServer->text(),    ui.eUserName->text(), ui.ePassword->text(),
                          ui.EditCheckTime->text(), ui.SoundFile->text(), ui.Viewer->text(),
                          ui.ShowNetError->text()};
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
    StoredSettings settings = fromFields(*ui_);
    QStringList problems = settings.Load(services_.registry, kel1_);
    toFields(*ui_, settings);
    return problems;
}

void TMainForm::SaveSettings() {
    fromFields(*ui_).Save(services_.registry, kel1_);
}

void TMainForm::SaveNetErrorsOff() {
    StoredSettings::SaveNetErrorsOff(services_.registry);
    ui_->ShowNetError->setText(StoredSettings::NetErrorsOff);
}
