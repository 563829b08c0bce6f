#pragma once

#include "DBusTrayTypes.h"

#include <QtCore/QObject>
#include <QtDBus/QDBusAbstractAdaptor>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusObjectPath>

#include <functional>
#include <memory>
#include <mutex>

class DBusMenuExporter;
class QMenu;
class StatusNotifierItem;
class StatusNotifierItemAdaptor;

// What hosts read of an item, and the signals that tell them of a change.
// Any thread may write it; the bus's own thread answers the hosts from it,
// so that reading a property wakes no other thread of the program.
class StatusNotifierItemState {
public:
    // Each returns at once; hosts are told through the bus's thread.
    void SetIcon(const DBusTrayPixmaps& pixmaps);
    void SetToolTip(const QString& text);

    QString Id() const { return id_; }
    QString Title() const { return title_; }
    DBusTrayPixmaps Pixmaps() const;
    QString ToolTip() const;
    bool HasMenu() const;

private:
    friend class StatusNotifierItem;
    friend class StatusNotifierItemAdaptor;
    void announce(void (StatusNotifierItemAdaptor::*signal)());
    void later(std::function<void(int, int)> StatusNotifierItem::*callback, int x, int y);

    QString id_;
    QString title_;
    mutable std::mutex lock_;
    DBusTrayPixmaps pixmaps_;
    QString toolTip_;
    bool hasMenu_ = false;
    // Null once the item is going.
    StatusNotifierItem* item_ = nullptr;
    StatusNotifierItemAdaptor* adaptor_ = nullptr;
};

// One icon as an org.kde.StatusNotifierItem with its menu, on a session bus
// connection of its own: the protocol has no call to take an item away, so an
// item ends when its connection's name leaves the bus. Lives on the GUI
// thread; the host's calls come back through the callbacks, each after the
// call has been answered.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    // Connects under a fresh connection name; Valid() tells if that worked.
    explicit StatusNotifierItem(const QString& id, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    bool Valid() const { return valid_; }
    // The bus name a watcher knows the item by.
    QString Service() const;
    // Asks the watcher on the session bus to show the item; no wait.
    void Register();

    void SetIcon(const DBusTrayPixmaps& pixmaps) { state_->SetIcon(pixmaps); }
    void SetToolTip(const QString& text) { state_->SetToolTip(text); }
    void SetMenu(QMenu* menu);
    // For callers on other threads; lives as long as any of them holds it.
    std::shared_ptr<StatusNotifierItemState> State() const { return state_; }

    std::function<void(int x, int y)> OnActivate;
    std::function<void(int x, int y)> OnSecondaryActivate;
    std::function<void(int x, int y)> OnContextMenu;

    DBusTrayPixmaps pixmaps() const { return state_->Pixmaps(); }

    static constexpr const char* ItemPath = "/StatusNotifierItem";
    static constexpr const char* MenuPath = "/MenuBar";

private:
    QString connectionName_;
    QDBusConnection connection_;
    bool valid_ = false;
    std::shared_ptr<StatusNotifierItemState> state_;
    QObject* onBus_ = nullptr; // on the bus's thread, with the item's adaptor
    QObject* menuObject_ = nullptr;
    DBusMenuExporter* menuExporter_ = nullptr;
};

class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconThemePath READ Empty)
    Q_PROPERTY(QDBusObjectPath Menu READ Menu)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
    Q_PROPERTY(QString IconName READ Empty)
    Q_PROPERTY(DBusTrayPixmaps IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ Empty)
    Q_PROPERTY(DBusTrayPixmaps OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ Empty)
    Q_PROPERTY(DBusTrayPixmaps AttentionIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ Empty)
    Q_PROPERTY(DBusTrayToolTip ToolTip READ ToolTip)
    // Read by GNOME's AppIndicator extension after every NewIcon, for screen
    // readers; the tooltip's text says what the icon shows.
    Q_PROPERTY(QString IconAccessibleDesc READ AccessibleDesc)
    Q_PROPERTY(QString AttentionAccessibleDesc READ AccessibleDesc)
public:
    StatusNotifierItemAdaptor(QObject* parent, std::shared_ptr<StatusNotifierItemState> state);

    QString Category() const { return QStringLiteral("Communications"); }
    QString Id() const { return state_->Id(); }
    QString Title() const { return state_->Title(); }
    QString Status() const { return QStringLiteral("Active"); }
    int WindowId() const { return 0; }
    QString Empty() const { return {}; }
    QDBusObjectPath Menu() const;
    bool ItemIsMenu() const { return false; }
    DBusTrayPixmaps IconPixmap() const { return state_->Pixmaps(); }
    DBusTrayPixmaps NoPixmaps() const { return {}; }
    DBusTrayToolTip ToolTip() const;
    QString AccessibleDesc() const { return state_->ToolTip(); }

public slots:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);
    void ProvideXdgActivationToken(const QString& token);

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    std::shared_ptr<StatusNotifierItemState> state_;
};
