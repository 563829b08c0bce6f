// Moving the settings between the store and the configuration window's
// fields. The fields are the program's only working copy of the settings.
#include "TMainForm.h"

#include "platform/RegIniFile.h"
#include "ui_TMainForm.h"

namespace {
const QString kStoreName = QStringLiteral("Pingbox");
const QString kPasswordKey = QStringLiteral("kestrel");
} // namespace

void TMainForm::LoadSettings() {
    const std::unique_ptr<RegIniFile> store = services_.registry.Open(kStoreName);
    ui_->ePOPServer->setText(
        store->ReadString(QStringLiteral("Server"), QStringLiteral("Host"), {}));
    ui_->eUserName->setText(
        store->ReadString(QStringLiteral("Server"), QStringLiteral("User"), {}));
    ui_->ePassword->setText(
        store->ReadString(QStringLiteral("Server"), QStringLiteral("Pass"), {}));
    kel1_.SetInput(ui_->ePassword->text());
    kel1_.SetKey(kPasswordKey);
    kel1_.SetAction(TActionType::atDecryption);
    kel1_.Apply();
    ui_->ePassword->setText(kel1_.Output());
    ui_->EditCheckTime->setText(store->ReadString(
        QStringLiteral("Options"), QStringLiteral("Checktime"), QStringLiteral("15")));
    ui_->SoundFile->setText(store->ReadString(QStringLiteral("SoundFile"), QStringLiteral("Path"),
                                              QStringLiteral("newmail.wav")));
    ui_->Viewer->setText(store->ReadString(QStringLiteral("Viewer"), QStringLiteral("Path"), {}));
    ui_->ShowNetError->setText(store->ReadString(
        QStringLiteral("Server"), QStringLiteral("ShowError"), QStringLiteral("true")));
}

void TMainForm::SaveSettings() {
    const std::unique_ptr<RegIniFile> store = services_.registry.Open(kStoreName);
    store->WriteString(QStringLiteral("Server"), QStringLiteral("Host"), ui_->ePOPServer->text());
    store->WriteString(QStringLiteral("Server"), QStringLiteral("User"), ui_->eUserName->text());
    kel1_.SetInput(ui_->ePassword->text());
    kel1_.SetKey(kPasswordKey);
    kel1_.SetAction(TActionType::atEncryption);
    kel1_.Apply();
    store->WriteString(QStringLiteral("Server"), QStringLiteral("Pass"), kel1_.Output());
    store->WriteString(QStringLiteral("Options"), QStringLiteral("Checktime"),
                       ui_->EditCheckTime->text());
    store->WriteString(QStringLiteral("SoundFile"), QStringLiteral("Path"), ui_->SoundFile->text());
    store->WriteString(QStringLiteral("Viewer"), QStringLiteral("Path"), ui_->Viewer->text());
}
