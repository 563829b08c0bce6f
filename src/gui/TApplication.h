#pragma once

#include "TMessage.h"

#include <QtCore/QPoint>
#include <QtCore/QPointer>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QTimer>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>

#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

class Dialogs;
class QHelpEvent;
class QPaintDevice;
class QWidget;

// Message numbers the application's own window understands.
enum : unsigned { WM_PAINT = 15 };

// One message of the application's own window, or one taken from the queue.

// What a hint about to be shown looks like; handlers may change it.
struct THintInfo {
    QWidget* HintControl = nullptr;
    QPoint CursorPos; // global
    QPoint HintPos;   // global
    QRect CursorRect; // in HintControl's coordinates; leaving it hides the hint
    int HideTimeout = 0;
};

// The paint structure of BeginPaint on the application's window.
struct TPaintStruct {
    QPaintDevice* Device = nullptr;
    bool Erase = false;
    QRect Paint;
};

using TNotifyEvent = std::function<void(QObject* sender)>;
using TExceptionEvent = std::function<void(QObject* sender, const std::exception& e)>;
using TIdleEvent = std::function<void(QObject* sender, bool& done)>;
using THelpEvent = std::function<bool(std::uint16_t command, std::int32_t data, bool& callHelp)>;
using TMessageEvent = std::function<void(TMessage& msg, bool& handled)>;
using TShowHintEvent = std::function<void(QString& hintStr, bool& canShow, THintInfo& hintInfo)>;
using TWindowHook = std::function<bool(TMessage& message)>;

// The application object: title, main window, the flag that shows the main
// window when the loop starts, terminate request, the message loop, the hint
// settings, the ten application events and the hook chain of the
// application's own window. Any exception that escapes a handler is caught in
// notify() and handed to HandleException; the loop then goes on.
//
// Raised from what Qt reports: OnException (anything escaping a handler),
// OnIdle (the loop is about to wait), OnActivate / OnDeactivate (the
// application's state), OnMinimize / OnRestore (the main window's state),
// OnHint and OnShowHint (a tooltip is about to show). OnHelp and OnMessage
// have no Qt source and are raised only by whoever calls them.
// The ten application events, one handler each.
struct ApplicationEvents {
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    THelpEvent OnHelp;
    TNotifyEvent OnHint;
    TMessageEvent OnMessage;
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;
    TShowHintEvent OnShowHint;
};

class TApplication : public QApplication, public ApplicationEvents {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    static TApplication* Instance();

    QString Title() const { return title_; }
    void SetTitle(const QString& title);

    // Where ShowException sends its text; the program sets the real dialogs.
    void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }

    QWidget* MainForm() const { return mainForm_; }
    void SetMainForm(QWidget* form) { mainForm_ = form; }

    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool value) { showMainForm_ = value; }

    // Ends the message loop; asked before the loop runs, the loop ends at once.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Runs the message loop; returns the process exit code.
    int Run();

    // Hints (tooltips). The colour is the tooltip background; HintPause is
    // the wait before a hint shows, HintShortPause the wait when moving on
    // from a control whose hint is still up, HintHidePause how long it stays.
    std::uint32_t HintColor() const { return hintColor_; }
    void SetHintColor(std::uint32_t color);
    int HintPause() const { return hintPause_; }
    void SetHintPause(int ms) { hintPause_ = ms; }
    int HintShortPause() const { return hintShortPause_; }
    void SetHintShortPause(int ms) { hintShortPause_ = ms; }
    int HintHidePause() const { return hintHidePause_; }
    void SetHintHidePause(int ms) { hintHidePause_ = ms; }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    bool UpdateFormatSettings() const { return updateFormatSettings_; }
    void SetUpdateFormatSettings(bool value) { updateFormatSettings_ = value; }
    bool UpdateMetricSettings() const { return updateMetricSettings_; }
    void SetUpdateMetricSettings(bool value) { updateMetricSettings_ = value; }

    // The hint of the control under the mouse; a change raises OnHint.
    QString Hint() const { return hint_; }
    void SetHint(const QString& hint);

    // The exception path: OnException when assigned, otherwise ShowException.
    void HandleException(const std::exception& e);
    void HandleException(QObject* sender, const std::exception& e);
    void ShowException(const std::exception& e);
    // Runs a handler that Qt Widgets or Qt Gui code calls (a signal of a
    // control, an event filter); whatever it throws goes down the exception
    // path right here. Those Qt libraries are built without exception
    // support, so an exception unwinding through them to notify() skips
    // their clean-up: memory leaks and a widget may keep a half-done state.
    void Guarded(QObject* sender, const std::function<void()>& handler);

    // The application's own window: a hook sees each of its messages first
    // and returns true to consume it. The token unhooks it again.
    int HookMainWindow(TWindowHook hook);
    void UnhookMainWindow(int token);
    // Sends a message to the application's window; true when a hook took it.
    bool SendToApplicationWindow(TMessage& message);
    // Whether the application is minimised (its main window is).
    bool IsIconic() const;
    // Painting of the application's minimised icon, a 32 x 32 surface.
    TPaintStruct BeginPaint();
    void EndPaint(const TPaintStruct& paint);
    const QPixmap& MinimizedIcon() const { return minimizedIcon_; }
    bool Painting() const { return painting_; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    template <class F> void guarded(QObject* sender, F&& f);
    void idle();
    void stateChanged(Qt::ApplicationState state);
    void mainFormStateChanged(Qt::WindowStates oldState);
    bool tooltip(QWidget* widget, QHelpEvent* event);
    void showPendingHint();
    void applyHintPalette();

    QString title_;
    Dialogs* dialogs_ = nullptr;
    QWidget* mainForm_ = nullptr;
    bool showMainForm_ = true;
    bool terminated_ = false;

    std::uint32_t hintColor_ = 0x80000018;
    int hintPause_ = 500;
    int hintShortPause_ = 50;
    int hintHidePause_ = 2500;
    bool showHint_ = true;
    bool updateFormatSettings_ = true;
    bool updateMetricSettings_ = true;
    QString hint_;
    bool active_ = false;
    bool inIdle_ = false;

    struct PendingHint {
        QPointer<QWidget> control;
        QString text;
        THintInfo info;
    };
    PendingHint pendingHint_;
    QTimer shortPauseTimer_;

    struct Hook {
        int token;
        TWindowHook hook;
    };
    std::vector<Hook> hooks_;
    int nextHookToken_ = 1;
    QPixmap minimizedIcon_;
    bool painting_ = false;
};
