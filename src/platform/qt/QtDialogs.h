#pragma once

#include "platform/Dialogs.h"

// Message boxes and file dialogs of Qt Widgets; the beep of the desktop.
class QtDialogs : public Dialogs {
public:
    void MessageBeep(unsigned sound) override;
    TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
    std::optional<QString> OpenFile(const OpenFileRequest& request) override;
    void ShowException(const QString& message) override;

    // "Name|*.a;*.b|Other|*.c" as Qt's "Name (*.a *.b);;Other (*.c)".
    static QString qtFilter(const QString& filter);
};
