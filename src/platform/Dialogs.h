#pragma once

#include <QtCore/QString>

#include <optional>

// Sounds of MessageBeep: the default beep and the four message kinds; the
// simple beep is the speaker's (here: the X bell).
enum : unsigned {
    MB_OK_SOUND = 0,
    MB_ICONHAND_SOUND = 0x10,
    MB_ICONQUESTION_SOUND = 0x20,
    MB_ICONEXCLAMATION_SOUND = 0x30,
    MB_ICONASTERISK_SOUND = 0x40,
    MB_SIMPLE_BEEP = 0xFFFFFFFF
};

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum class TMsgDlgButtons { mbOK, mbYesNo };
enum class TModalResult { mrNone, mrOk, mrYes, mrNo };

struct OpenFileRequest {
    QString title;
    QString filter;         // "Name|*.a;*.b|Other|*.c" pairs
    QString defaultExt;     // without the dot; added only to a name that does not exist as typed
    QString programsFilter; // the filter of that name lists folders and executable files only
    QString initialDir;
    bool pathMustExist = false;
    bool fileMustExist = false;
    bool hideReadOnly = false;
};

// Modal message boxes, the system beep and the open-file dialog.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void MessageBeep(unsigned sound) = 0;
    // A modal box; its caption is the platform's word for the type.
    virtual TModalResult MessageDlg(const QString& text, TMsgDlgType type,
                                    TMsgDlgButtons buttons) = 0;
    // The chosen file, or nothing when the user cancels.
    virtual std::optional<QString> OpenFile(const OpenFileRequest& request) = 0;
    // The application's standard display of an error that no handler caught.
    virtual void ShowException(const QString& message) = 0;
};
