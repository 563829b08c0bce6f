#include "NewMailAlert.h"

#include "Appexec.h"
#include "NewMailBubble.h"
#include "platform/Dialogs.h"
#include "platform/MediaPlayer.h"

QString AlertTexts::TrayHint(std::int32_t count, const QString& server) {
    return QString::number(count) + QStringLiteral(" Messages on ") + server;
}

QString AlertTexts::YouHaveMessages(std::int32_t count) {
    return QStringLiteral("You have ") + QString::number(count) + QStringLiteral(" Messages");
}

QString AlertTexts::StartViewerQuestion(std::int32_t count) {
    return YouHaveMessages(count) + QStringLiteral(" - ") + StartEMailViewer + QLatin1Char('?');
}

namespace notify {

namespace {

// The notification in place of the question; false when there is none to
// show, and the question is asked instead. Nothing modal waits here, so the
// check timer stays on and the next check updates the notification.
bool notified(const AlertServices& s, NewMailBubble* bubble, std::int32_t Number) {
    if (!bubble || !bubble->Available())
        return false;
    if (!bubble->IsNews(Number))
        return true;
    if (!bubble->Show(Number))
        return false;
    if (!bubble->Quiet())
        PlaySoundFile(s);
    return true;
}

} // namespace

void POP1RefreshMessageCount(const AlertServices& s, std::int32_t Number, NewMailBubble* bubble) {
    AlertHost& host = s.host;
    host.HideConfiguration();
    host.SetStatus(AlertTexts::CheckingEmail);
    host.SetMessageCount(QString::number(Number));
    host.SetTrayHint(AlertTexts::TrayHint(Number, host.ServerText()));
    if (Number <= 0) {
        host.SetTrayAnimated(false);
        if (bubble)
            bubble->Withdraw();
    } else {
        host.SetTrayAnimated(true);
        if (!notified(s, bubble, Number)) {
            PlaySoundFile(s);
            host.Sleep(1000);
            host.SetCheckTimerEnabled(false);
            if (s.dialogs.MessageDlg(AlertTexts::StartViewerQuestion(Number),
                                     TMsgDlgType::mtConfirmation,
                                     TMsgDlgButtons::mbYesNo) == TModalResult::mrYes)
                StartViewer(s);
        }
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
