#include "NewMailAlert.h"

#include "Appexec.h"
#include "platform/Dialogs.h"
#include "platform/MediaPlayer.h"

QString AlertTexts::TrayHint(std::int32_t count, const QString& server) {
    return QString::number(count) + QStringLiteral(" Messages on ") + server;
}

QString AlertTexts::StartViewerQuestion(std::int32_t count) {
    return QStringLiteral("You have ") + QString::number(count) + QStringLiteral(" Messages") +
           QStringLiteral(" - Start eMail Viewer?");
}

namespace notify {

void POP1RefreshMessageCount(const AlertServices& s, std::int32_t Number) {
    AlertHost& host = s.host;
    host.HideConfiguration();
    host.SetStatus(AlertTexts::CheckingEmail);
    host.SetMessageCount(QString::number(Number));
    host.SetTrayHint(AlertTexts::TrayHint(Number, host.ServerText()));
    if (Number <= 0) {
        host.SetTrayAnimated(false);
    } else {
        host.SetTrayAnimated(true);
        PlaySoundFile(s);
        host.Sleep(1000);
        host.SetCheckTimerEnabled(false);
        if (s.dialogs.MessageDlg(AlertTexts::StartViewerQuestion(Number),
                                 TMsgDlgType::mtConfirmation,
                                 TMsgDlgButtons::mbYesNo) == TModalResult::mrYes)
            StartViewer(s);
    }
    host.QuitConnection();
    host.SetStatus(AlertTexts::Ready);
}

void PlaySoundFile(const AlertServices& s) {
    MediaPlayer& sound1 = s.sound;
    try {
        sound1.Close();
        sound1.SetFileName(s.host.SoundFileText());
        sound1.Open();
        sound1.Rewind();
        sound1.Play();
    } catch (const std::exception&) {
        const QString name = s.host.SoundFileText();
        s.dialogs.MessageBeep(MB_OK_SOUND);
        if (!name.trimmed().isEmpty())
            s.dialogs.MessageDlg(AlertTexts::UnableToOpenMedia + name, TMsgDlgType::mtInformation,
                                 TMsgDlgButtons::mbOK);
    }
}

void StartViewer(const AlertServices& s) {
    AlertHost& host = s.host;
    const QString viewer = host.ViewerText();
    if (!viewer.isEmpty()) {
        s.viewerApp.SetAppName(viewer);
        s.viewerApp.SetShowType(TShowType::S_SHOWMAXIMIZED);
        s.viewerApp.Execute();
        host.SetTrayAnimated(false);
    } else {
        s.dialogs.MessageBeep(MB_OK_SOUND);
        if (s.dialogs.MessageDlg(AlertTexts::NoViewer, TMsgDlgType::mtConfirmation,
                                 TMsgDlgButtons::mbYesNo) == TModalResult::mrYes)
            host.ShowConfiguration();
    }
    host.SetCheckTimerEnabled(true);
}

} // namespace notify
