#pragma once

#include "platform/NotifyArea.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRect>
#include <QtCore/QTimer>
#include <QtWidgets/QSystemTrayIcon>
#include <QtWidgets/QWidget>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

// The notification area on QSystemTrayIcon (XEmbed or StatusNotifierItem).
// Records may be added, modified and deleted from any thread: the calls are
// checked at once and carried out in call order on the GUI thread, the only
// thread that may touch a QSystemTrayIcon. Activations become the mouse
// callback messages of the icon's window. The tray host is watched: when one
// appears (late at login, or after a restart) every window is sent
// WM_TASKBARCREATED; while none is present, adds fail. On X11 the watch
// follows the tray selection's owner through X events and costs no wakeups;
// elsewhere the host is asked every hostPollMs.
class QtNotifyArea : public QObject, public NotifyArea {
    Q_OBJECT
public:
    explicit QtNotifyArea(QObject* parent = nullptr, int hostPollMs = 500);
    ~QtNotifyArea() override;

    HWND AllocateHWnd(WindowProc proc) override;
    void DeallocateHWnd(HWND window) override;
    bool Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) override;
    QPoint GetCursorPos() override;

    bool TrayHostPresent() const { return hostPresent_; }
    // Where the icon is on screen, empty when not shown; on X, empty until
    // the tray host has taken the icon in (GUI thread).
    QRect IconGeometry(HWND window, std::uint32_t id) const;

    // The mouse messages an activation stands for. Qt reports a press as
    // Trigger and the second press of a double click as DoubleClick; the
    // shell sends up, double click, up.
    static QList<std::uint32_t> MouseMessages(QSystemTrayIcon::ActivationReason reason,
                                              bool triggerJustBefore);

signals:
    void trayHostChanged(bool present);

private:
    using Key = std::pair<HWND, std::uint32_t>;
    struct Op {
        std::uint32_t message = 0;
        NOTIFYICONDATAA data;
        QByteArray image;
    };
    struct DeleteLater {
        void operator()(QSystemTrayIcon* icon) const;
    };
    struct Shown {
        std::unique_ptr<QSystemTrayIcon, DeleteLater> icon;
        std::uint32_t callbackMessage = 0;
        HICON hIcon = 0;
        QElapsedTimer lastTrigger;
    };

    // On X: what an icon's window has shown, so that a picture seen before
    // is put back by the calling thread itself, without a wake-up of the GUI
    // thread; the animation's frames come round again and again.
    struct Picture {
        std::uint8_t depth = 0;
        std::uint16_t width = 0;
        std::uint16_t height = 0;
        QByteArray pixels;
    };
    struct Seen {
        QPointer<QWidget> widget; // Qt's window for the icon
        std::uint32_t window = 0;
        std::uint32_t gc = 0; // 0: pictures cannot be put back here
        QMetaObject::Connection destroyed;
        std::map<QByteArray, Picture> pictures; // by icon image
        QString tip;
        std::uint32_t callbackMessage = 0;
        QByteArray current;    // the image the window shows
        bool qtBehind = false; // Qt's icon is not the one the window shows
    };

    bool eventFilter(QObject* watched, QEvent* event) override;
    Q_INVOKABLE void applyPending();
    bool showSeen(const Key& key, const NOTIFYICONDATAA& data, const QByteArray& image);
    void learn(const Key& key, Shown& shown, const Op& op);
    void forget(const Key& key, bool qtToCatchUp = true);
    void qtCatchUp(const Key& key, const QByteArray& image);
    static QWidget* iconWidget(const QSystemTrayIcon& icon);
    void apply(const Op& op);
    void setIcon(Shown& shown, const Op& op);
    QIcon iconFor(const QByteArray& image);
    void activated(Key key, QSystemTrayIcon::ActivationReason reason);
    void deliver(Key key, std::uint32_t callbackMessage, const QList<std::uint32_t>& mouse);
    void checkTrayHost();
    void setTrayHost(bool present);

    // Any thread.
    mutable std::mutex lock_;
    std::set<Key> records_;
    std::deque<Op> pending_;
    std::atomic<bool> hostPresent_ = false;
    int inFlight_ = 0; // calls posted to the GUI thread and not yet carried out
    std::map<Key, Seen> seen_;

    // GUI thread only.
    std::map<HWND, WindowProc> windows_;
    HWND nextWindow_ = 0x100;
    std::map<Key, Shown> shown_;
    // The icons made from recent images, newest last. An animation shows the
    // same few pictures over and over: one QIcon for each keeps Qt's cache
    // of scaled pixmaps (keyed by the icon) from filling with copies.
    std::deque<std::pair<QByteArray, QIcon>> icons_;
    QTimer hostPoll_;
    class XTrayWatch;
    std::unique_ptr<XTrayWatch> xWatch_;
    bool otherTray_ = false; // a tray Qt reaches without the X selection
};
