#pragma once

#include <QtCore/QObject>
#include <QtCore/QString>

#include <cstdint>

class ClassesRoot;
class ProgramStarter;

// How the browser's window is shown.
enum class TUrlShowCmd : std::uint8_t {
    ssHide,
    ssMaximize,
    ssMinimize,
    ssRestore,
    ssShow,
    ssShowDefault,
    ssShowMaximized,
    ssShowMinimized,
    ssShowMinNoActivate,
    ssShowNA,
    ssShowNoActivate,
    ssShowNormal,
};

// The show-window code of a show command; values above ssShowNoActivate
// count as ssShowNormal.
int ShowCommandCode(TUrlShowCmd command);

// Opens a web address in the user's default browser, the program that opens
// ".htm" files.
class TpvlUrl : public QObject {
    Q_OBJECT
public:
    TpvlUrl(ClassesRoot& classes, ProgramStarter& starter, QObject* owner = nullptr);

    QString Url;
    TUrlShowCmd UrlShowCommand = TUrlShowCmd::ssShowDefault;

    // Starts the browser with Url. Without a ".htm" association or its open
    // command nothing happens; a failed start raises an Exception.
    void Launch();

    // The default value of a key: the status of opening it (0 = opened) and,
    // only when opened, value receives the text.
    long ReadClassesRootValue(const QString& keyName, QString& value);

private:
    ClassesRoot& classes_;
    ProgramStarter& starter_;
};
