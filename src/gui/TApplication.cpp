#include "TApplication.h"

#include "Colors.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QFileInfo>
#include <QtGui/QHelpEvent>
#include <QtGui/QPalette>
#include <QtWidgets/QProxyStyle>
#include <QtWidgets/QToolTip>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <cstdio>

namespace {

// Qt itself waits this long before the next tooltip while one is still up.
constexpr int qtQuickWakeUp = 20;

// Lets the application's hint timings decide when Qt shows tooltips: the
// wake-up delay is HintPause, and for as long as a hint stays up Qt follows
// on to the next control quickly, where HintShortPause takes over.
class HintStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (auto* app = TApplication::Instance()) {
            if (hint == SH_ToolTip_WakeUpDelay)
                return std::max(0, app->HintPause());
            if (hint == SH_ToolTip_FallAsleepDelay)
                return std::max(0, app->HintHidePause());
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Settings Qt reads as it starts. On X, Qt draws into shared-memory images
// and, before it draws over one again, waits for the X server to have read
// it: for the animated tray icon that is a round trip, and a wake-up of two
// threads, at every frame. The program's windows are small enough to go over
// the socket.
int& beforeQtStarts(int& argc) {
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    return argc;
}

} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(beforeQtStarts(argc), argv) {
    // Until the program names itself, its title is its file's name.
    title_ = QFileInfo(applicationFilePath()).completeBaseName();
    setQuitOnLastWindowClosed(false);

    setStyle(new HintStyle); // the application owns its style
    applyHintPalette();

    shortPauseTimer_.setSingleShot(true);
    connect(&shortPauseTimer_, &QTimer::timeout, this, [this] { showPendingHint(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { idle(); });
    connect(this, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { stateChanged(state); });
}

TApplication::~TApplication() = default;

TApplication* TApplication::Instance() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

void TApplication::SetTitle(const QString& title) {
    title_ = title;
}

void TApplication::Terminate() {
    terminated_ = true;
    quit();
}

int TApplication::Run() {
    if (terminated_)
        return 0;
    if (showMainForm_ && mainForm_)
        mainForm_->show();
    return exec();
}

void TApplication::SetHintColor(std::uint32_t color) {
    hintColor_ = color;
    applyHintPalette();
}

void TApplication::applyHintPalette() {
    QPalette palette = QToolTip::palette();
    palette.setColor(QPalette::All, QPalette::ToolTipBase, colorToQColor(hintColor_));
    QToolTip::setPalette(palette);
}

void TApplication::SetShowHint(bool value) {
    showHint_ = value;
    if (!value) {
        shortPauseTimer_.stop();
        QToolTip::hideText();
    }
}

void TApplication::SetHint(const QString& hint) {
    if (hint == hint_)
        return;
    hint_ = hint;
    if (OnHint)
        OnHint(this);
}

void TApplication::HandleException(const std::exception& e) {
    HandleException(this, e);
}

void TApplication::HandleException(QObject* sender, const std::exception& e) {
    if (OnException)
        OnException(sender, e);
    else
        ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
    QString text = exceptionText(e);
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    if (dialogs_)
        dialogs_->ShowException(text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// Runs f; whatever it throws goes down the exception path, as anything
// escaping an event handler does. For events Qt raises outside notify().
template <class F> void TApplication::guarded(QObject* sender, F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        try {
            HandleException(sender, e);
        } catch (const std::exception& inner) {
            ShowException(inner);
        }
    } catch (...) {
        ShowException(Exception(QStringLiteral("Unknown error")));
    }
}

void TApplication::Guarded(QObject* sender, const std::function<void()>& handler) {
    guarded(sender, handler);
}

void TApplication::idle() {
    // A box shown from inside OnIdle waits in a loop of its own, which must
    // not call OnIdle again (nor stack up boxes of the same failure).
    if (!OnIdle || inIdle_)
        return;
    inIdle_ = true;
    bool done = true;
    guarded(this, [&] { OnIdle(this, done); });
    inIdle_ = false;
    // Not done: come back at once instead of waiting for the next event.
    if (!done)
        if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
            dispatcher->wakeUp();
}

void TApplication::stateChanged(Qt::ApplicationState state) {
    const bool active = state == Qt::ApplicationActive;
    if (active == active_)
        return;
    active_ = active;
    guarded(this, [&] {
        if (active && OnActivate)
            OnActivate(this);
        else if (!active && OnDeactivate)
            OnDeactivate(this);
    });
}

void TApplication::mainFormStateChanged(Qt::WindowStates oldState) {
    const bool was = oldState.testFlag(Qt::WindowMinimized);
    const bool is = mainForm_->windowState().testFlag(Qt::WindowMinimized);
    if (!was && is && OnMinimize)
        OnMinimize(this);
    else if (was && !is && OnRestore)
        OnRestore(this);
}

bool TApplication::tooltip(QWidget* widget, QHelpEvent* event) {
    if (!showHint_) {
        QToolTip::hideText();
        return true;
    }
    QWidget* control = widget;
    while (control && control->toolTip().isEmpty() && !control->isWindow())
        control = control->parentWidget();
    if (!control || control->toolTip().isEmpty())
        return false; // a widget that shows tips of its own (items, actions)

    const bool quickFollow = QToolTip::isVisible();
    SetHint(control->toolTip());
    QString text = control->toolTip();
    bool canShow = true;
    const QPoint globalPos = control->mapToGlobal(control->mapFrom(widget, event->pos()));
    THintInfo info{control, globalPos, globalPos, control->rect(), hintHidePause_};
    if (OnShowHint)
        OnShowHint(text, canShow, info);
    shortPauseTimer_.stop();
    if (!canShow || text.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    pendingHint_ = {control, text, info};
    const int wait = quickFollow ? hintShortPause_ - qtQuickWakeUp : 0;
    if (wait > 0)
        shortPauseTimer_.start(wait);
    else
        showPendingHint();
    return true;
}

void TApplication::showPendingHint() {
    QWidget* control = pendingHint_.control;
    if (!control || !showHint_)
        return;
    QToolTip::showText(pendingHint_.info.HintPos, pendingHint_.text, control,
                       pendingHint_.info.CursorRect, pendingHint_.info.HideTimeout);
}

int TApplication::HookMainWindow(TWindowHook hook) {
    const int token = nextHookToken_++;
    hooks_.push_back({token, std::move(hook)});
    return token;
}

void TApplication::UnhookMainWindow(int token) {
    std::erase_if(hooks_, [token](const Hook& h) { return h.token == token; });
}

bool TApplication::SendToApplicationWindow(TMessage& message) {
    // A hook may unhook itself or others while it runs.
    const std::vector<Hook> hooks = hooks_;
    for (const Hook& h : hooks) {
        const bool stillHooked = std::any_of(hooks_.begin(), hooks_.end(),
                                             [&](const Hook& x) { return x.token == h.token; });
        if (stillHooked && h.hook(message))
            return true;
    }
    return false;
}

bool TApplication::IsIconic() const {
    return mainForm_ && mainForm_->isMinimized();
}

TPaintStruct TApplication::BeginPaint() {
    if (minimizedIcon_.isNull()) {
        minimizedIcon_ = QPixmap(32, 32);
        minimizedIcon_.fill(Qt::transparent);
    }
    painting_ = true;
    return {&minimizedIcon_, true, minimizedIcon_.rect()};
}

void TApplication::EndPaint(const TPaintStruct&) {
    painting_ = false;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        switch (event->type()) {
        case QEvent::ToolTip:
            if (receiver->isWidgetType() &&
                tooltip(static_cast<QWidget*>(receiver), static_cast<QHelpEvent*>(event)))
                return true;
            break;
        case QEvent::WindowStateChange:
            if (mainForm_ && receiver == static_cast<QObject*>(mainForm_)) {
                const auto old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
                const bool result = QApplication::notify(receiver, event);
                mainFormStateChanged(old);
                return result;
            }
            break;
        default:
            break;
        }
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        try {
            HandleException(receiver, e);
        } catch (const std::exception& inner) {
            // The handler itself failed: fall back to the plain display.
            ShowException(inner);
        }
    } catch (...) {
        ShowException(Exception(QStringLiteral("Unknown error")));
    }
    return false;
}
