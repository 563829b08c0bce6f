#pragma once

#include "gui/NotifyArea.h"

#include "DBusTrayTypes.h"
#include "XWindowPictures.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRect>
#include <QtCore/QTimer>
#include <QtWidgets/QMenu>
#include <QtWidgets/QSystemTrayIcon>
#include <QtWidgets/QWidget>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

class DBusTrayHostWatch;
class StatusNotifierItem;
class StatusNotifierItemState;
class XTrayWatch;

// The notification area on two protocols: a StatusNotifierItem of our own on
// the session bus while a StatusNotifierWatcher with a host is there, else
// XEmbed through QSystemTrayIcon on X11. Records may be added, modified and
// deleted from any thread: the calls are checked at once and carried out in
// call order on the GUI thread, the only thread that may touch a tray object.
// Activations become the mouse callback messages of the icon's window. The
// hosts are watched through X events and bus signals, never on a timer: when
// one appears (late at login, or after a restart) or the protocol changes,
// every window is sent WM_TASKBARCREATED; while none is present, adds fail.
class QtNotifyArea : public QObject, public NotifyArea {
    Q_OBJECT
public:
    enum class Protocol { None, XEmbed, DBus };

    explicit QtNotifyArea(QObject* parent = nullptr);
    ~QtNotifyArea() override;

    HWND AllocateHWnd(WindowProc proc) override;
    void DeallocateHWnd(HWND window) override;
    bool Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) override;
    QPoint GetCursorPos() override;
    void SetWindowMenu(HWND window, QMenu* menu) override;

    bool TrayHostPresent() const { return hostPresent_; }
    Protocol TrayProtocol() const { return protocol_; }
    // The bus name of the icon's StatusNotifierItem; empty unless shown on
    // D-Bus (GUI thread).
    QString ItemService(HWND window, std::uint32_t id) const;
    // Where the icon is on screen, empty when not shown and on D-Bus; on X,
    // empty until the tray host has taken the icon in (GUI thread).
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
    struct DeleteItemLater {
        void operator()(StatusNotifierItem* item) const;
    };
    struct Shown {
        // One of the two, by the protocol.
        std::unique_ptr<QSystemTrayIcon, DeleteLater> icon;
        std::unique_ptr<StatusNotifierItem, DeleteItemLater> item;
        std::uint32_t callbackMessage = 0;
        HICON hIcon = 0;
        QElapsedTimer lastTrigger;
    };

    // On XEmbed: what an icon's window has shown, so that a picture seen before
    // is put back by the calling thread itself, without a wake-up of the GUI
    // thread; the animation's frames come round again and again.
    struct Seen {
        QPointer<QWidget> widget; // Qt's window for the icon
        std::uint32_t window = 0;
        std::uint32_t gc = 0; // 0: pictures cannot be put back here
        QMetaObject::Connection destroyed;
        std::map<QByteArray, XPicture> pictures; // by icon image
        QString tip;
        std::uint32_t callbackMessage = 0;
        QByteArray current;    // the image the window shows
        bool qtBehind = false; // Qt's icon is not the one the window shows
    };

    // On D-Bus: the pictures an icon's item has shown, so that one seen before
    // is handed to the item by the calling thread itself, as on XEmbed.
    struct OnBus {
        std::shared_ptr<StatusNotifierItemState> state;
        std::map<QByteArray, DBusTrayPixmaps> pictures; // by icon image
        std::uint32_t callbackMessage = 0;
        bool behind = false; // the GUI thread's record of the icon is not current
    };

    bool eventFilter(QObject* watched, QEvent* event) override;
    bool showSeen(const Key& key, const NOTIFYICONDATAA& data, const QByteArray& image);
    bool showOnBus(const Key& key, const NOTIFYICONDATAA& data, const QByteArray& image);
    void rememberOnBus(const Key& key, const Op& op);
    void learn(const Key& key, Shown& shown, const Op& op);
    void forget(const Key& key, bool qtToCatchUp = true);
    void qtCatchUp(const Key& key, const QByteArray& image);
    static QWidget* iconWidget(const QSystemTrayIcon& icon);
    void answerDuringModal(QWidget& widget);
    bool forwardDuringModal(QWindow& window, QEvent& event);
    void showTip();
    void apply(const Op& op);
    void setIcon(Shown& shown, const Op& op);
    struct CachedIcon {
        QByteArray image;
        QIcon icon;
        std::optional<DBusTrayPixmaps> pixmaps;
    };
    CachedIcon& iconFor(const QByteArray& image);
    void showOnDBus(Key key, Shown& shown, const Op& op);
    void activated(Key key, QSystemTrayIcon::ActivationReason reason);
    // Mouse messages are posted to the window, as the shell posts them;
    // MENUAT, when given, is what GetCursorPos answers while they are handled.
    void sendMouse(Key key, const QList<std::uint32_t>& messages,
                   std::optional<QPoint> menuAt = std::nullopt);
    void deliver(Key key, std::uint32_t callbackMessage, const QList<std::uint32_t>& messages,
                 std::optional<QPoint> menuAt);
    void hostsChanged();
    void setProtocol(Protocol protocol);

    // Any thread.
    mutable std::mutex lock_;
    std::set<Key> records_;
    std::atomic<bool> hostPresent_ = false;
    int inFlight_ = 0; // calls posted to the GUI thread and not yet carried out
    std::map<Key, Seen> seen_;
    std::map<Key, OnBus> onBus_;

    // GUI thread only.
    std::map<HWND, WindowProc> windows_;
    std::map<HWND, QPointer<QMenu>> menus_;
    HWND nextWindow_ = 0x100;
    std::map<Key, Shown> shown_;
    // The icons made from recent images, newest last. An animation shows the
    // same few pictures over and over: one QIcon for each keeps Qt's cache
    // of scaled pixmaps (keyed by the icon) from filling with copies.
    std::deque<CachedIcon> icons_;
    std::unique_ptr<XTrayWatch> xWatch_;
    std::unique_ptr<XWindowPictures> xPictures_; // with the watch
    bool xHost_ = false;
    std::unique_ptr<DBusTrayHostWatch> dbusWatch_;
    Protocol protocol_ = Protocol::None;
    // Where the host asked for the menu; the next GetCursorPos answers it.
    std::optional<QPoint> menuAt_;
    // The icon's tooltip while a modal window runs.
    QTimer tipTimer_;
    QPointer<QWidget> tipWidget_;
    QElapsedTimer lastPress_; // of the left button, for the double click
};
