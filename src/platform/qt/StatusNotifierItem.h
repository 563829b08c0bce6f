#pragma once

#include "DBusTrayTypes.h"

#include <QtCore/QObject>
#include <QtDBus/QDBusAbstractAdaptor>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusObjectPath>

#include <functional>

class DBusMenuExporter;
class QMenu;

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

    void SetIcon(const DBusTrayPixmaps& pixmaps);
    void SetToolTip(const QString& text);
    void SetMenu(QMenu* menu);

    std::function<void(int x, int y)> OnActivate;
    std::function<void(int x, int y)> OnSecondaryActivate;
    std::function<void(int x, int y)> OnContextMenu;

    // What the item adaptor reads.
    QString id() const { return id_; }
    const DBusTrayPixmaps& pixmaps() const { return pixmaps_; }
    const QString& toolTip() const { return toolTip_; }
    bool hasMenu() const { return hasMenu_; }

    static constexpr const char* ItemPath = "/StatusNotifierItem";
    static constexpr const char* MenuPath = "/MenuBar";

signals:
    void NewIcon();
    void NewToolTip();

private:
    friend class StatusNotifierItemAdaptor;
    void later(const std::function<void(int, int)>& callback, int x, int y);

    QString id_;
    QString connectionName_;
    QDBusConnection connection_;
    bool valid_ = false;
    DBusTrayPixmaps pixmaps_;
    QString toolTip_;
    bool hasMenu_ = false;
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
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item);

    QString Category() const { return QStringLiteral("Communications"); }
    QString Id() const { return item_->id(); }
    QString Title() const;
    QString Status() const { return QStringLiteral("Active"); }
    int WindowId() const { return 0; }
    QString Empty() const { return {}; }
    QDBusObjectPath Menu() const;
    bool ItemIsMenu() const { return false; }
    DBusTrayPixmaps IconPixmap() const { return item_->pixmaps(); }
    DBusTrayPixmaps NoPixmaps() const { return {}; }
    DBusTrayToolTip ToolTip() const;

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
    StatusNotifierItem* item_;
};
