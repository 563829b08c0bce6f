#pragma once

#include "platform/Dialogs.h"

class EventSounds;

// Message boxes and file dialogs of Qt Widgets. Beeps are the desktop's event
// sounds of their kind, or the X bell where none can be played.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(EventSounds* sounds = nullptr) : sounds_(sounds) {}

    // The event sound of a MessageBeep kind; empty for the plain bell.
    static QString eventSoundName(unsigned sound);

    void MessageBeep(unsigned sound) override;
    TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
    std::optional<QString> OpenFile(const OpenFileRequest& request) override;
    void ShowException(const QString& message) override;

    // "Name|*.a;*.b|Other|*.c" as Qt's "Name (*.a *.b);;Other (*.c)".
    static QString qtFilter(const QString& filter);

private:
    EventSounds* sounds_;
};
