#pragma once

#include <QtCore/QString>

#include <cstdint>

class Dialogs;
class MediaPlayer;
class TAppExecute;
namespace notify {
class NewMailBubble;
}

// What the new-mail alert needs of the window that hosts it: the working
// settings, the displays it writes, the tray icon, the check timer, and the
// end of the connection.
class AlertHost {
public:
    virtual ~AlertHost() = default;

    virtual QString ServerText() const = 0;    // ePOPServer
    virtual QString SoundFileText() const = 0; // SoundFile
    virtual QString ViewerText() const = 0;    // Viewer

    virtual void HideConfiguration() = 0;
    virtual void ShowConfiguration() = 0;
    virtual void SetStatus(const QString& text) = 0;       // ConnectStatus
    virtual void SetMessageCount(const QString& text) = 0; // lMessageCount
    virtual void SetTrayHint(const QString& hint) = 0;
    virtual void SetTrayAnimated(bool animated) = 0;
    virtual void SetCheckTimerEnabled(bool enabled) = 0;
    virtual void QuitConnection() = 0;        // POP1.Quit
    virtual void Sleep(int milliseconds) = 0; // blocks the thread
};

namespace AlertTexts {
inline const QString CheckingEmail = QStringLiteral("Checking eMail...");
inline const QString Ready = QStringLiteral("Ready");
QString TrayHint(std::int32_t count, const QString& server);
QString YouHaveMessages(std::int32_t count);
inline const QString StartEMailViewer = QStringLiteral("Start eMail Viewer");
QString StartViewerQuestion(std::int32_t count);
inline const QString NoViewer = QStringLiteral("You have no viewer configured, configure now?");
inline const QString UnableToOpenMedia = QStringLiteral("Unable to open Media or Sound file:");
} // namespace AlertTexts

// The services the alert works with.
struct AlertServices {
    AlertHost& host;
    Dialogs& dialogs;
    MediaPlayer& sound;     // Sound1
    TAppExecute& viewerApp; // ViewerApp
};

namespace notify {

// The count has arrived: show it, and for mail waiting animate the tray,
// play the sound and offer to start the viewer; then end the connection.
// With a bubble the offer is a notification, where the desktop can show
// one, and only a count not shown before plays the sound (none while the
// desktop keeps quiet); an empty mailbox withdraws it.
void POP1RefreshMessageCount(const AlertServices& s, std::int32_t Number,
                             NewMailBubble* bubble = nullptr);

// Plays the configured sound; a file that cannot be played costs a beep and,
// for a non-blank name, a message naming it.
void PlaySoundFile(const AlertServices& s);

// Starts the configured viewer maximised, or offers to configure one; the
// check timer is on again afterwards either way.
void StartViewer(const AlertServices& s);

} // namespace notify
