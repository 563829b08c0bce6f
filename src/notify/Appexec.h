#pragma once

#include <QtCore/QObject>
#include <QtCore/QString>

#include <cstdint>
#include <functional>

class ProgramStarter;

// How the started program's window is shown.
enum class TShowType {
    S_HIDE,
    S_MINIMIZE,
    S_RESTORE,
    S_SHOW,
    S_SHOWMAXIMIZED,
    S_SHOWMINIMIZED,
    S_SHOWMINNOACTIVE,
    S_SHOWNA,
    S_SHOWNOACTIVATE,
    S_SHOWNORMAL,
};

// The window show code passed with a start for each TShowType.
int ShowCode(TShowType type);

// Starts another program from a name and a parameter text with a chosen show
// mode, and keeps the start's result. A failed start is not reported: only
// AppInstance tells it.
class TAppExecute : public QObject {
    Q_OBJECT
public:
    // The longest command line Execute passes on. A longer one is refused
    // rather than cut: a cut line would start the wrong file or pass
    // mangled parameters.
    static constexpr int MaxCommandLine = 380;
    // AppInstance after a refused line: nothing was started.
    static constexpr std::int32_t LineTooLong = 0;

    explicit TAppExecute(ProgramStarter& starter, QObject* owner = nullptr);

    const QString& AppName() const { return appName_; }
    void SetAppName(const QString& value) { appName_ = value; }
    const QString& AppParam() const { return appParam_; }
    void SetAppParam(const QString& value) { appParam_ = value; }
    bool WaitForEnd() const { return waitForEnd_; }
    void SetWaitForEnd(bool value) { waitForEnd_ = value; }
    TShowType ShowType() const { return showType_; }
    void SetShowType(TShowType value) { showType_ = value; }
    std::int32_t AppInstance() const { return appInstance_; }

    std::function<void(QObject* Sender)> OnExecute;
    // Kept for the owner, never raised: a start does not report the
    // program's end.
    std::function<void(QObject* Sender)> OnClose;

    // Starts AppName + " " + AppParam with ShowType's code and leaves the
    // result in AppInstance (above 31 for a start). An exception from
    // OnExecute ends it before anything is started.
    void Execute();

    // The line Execute passes on, exactly as built.
    QString CommandLine() const;

private:
    ProgramStarter& starter_;
    QString appName_;
    QString appParam_;
    bool waitForEnd_ = false;
    TShowType showType_ = TShowType::S_SHOW;
    std::int32_t appInstance_ = 0;
};
