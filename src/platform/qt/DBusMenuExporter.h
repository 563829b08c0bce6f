#pragma once

#include "DBusTrayTypes.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtDBus/QDBusAbstractAdaptor>
#include <QtWidgets/QMenu>

// A QMenu as com.canonical.dbusmenu, for a tray host that draws the menu
// itself. Item 0 is the menu; its actions are its children, in order. The
// accelerator mark '&' becomes the protocol's '_'. Choosing an item triggers
// its action once the host's call has returned, as the program's own popup
// would (a handler may open a modal window). Lives on the GUI thread.
class DBusMenuExporter : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ Version)
    Q_PROPERTY(QString TextDirection READ TextDirection)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QStringList IconThemePath READ IconThemePath)
public:
    // parent carries the adaptor on the bus; the menu may be null or go away.
    DBusMenuExporter(QObject* parent, QMenu* menu);
    ~DBusMenuExporter() override;

    void SetMenu(QMenu* menu);

    uint Version() const { return 3; }
    QString TextDirection() const;
    QString Status() const { return QStringLiteral("normal"); }
    QStringList IconThemePath() const { return {}; }

    // "&Check Email" -> "_Check Email"; "&&" -> "&"; "_" -> "__".
    static QString DBusLabel(const QString& text);

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   DBusMenuLayout& layout);
    DBusMenuItems GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const DBusMenuEvents& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    void ItemsPropertiesUpdated(const DBusMenuItems& updatedProps,
                                const DBusMenuItemKeysList& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int idOf(QAction* action);
    QAction* actionOf(int id) const;
    QVariantMap propertiesOf(int id, const QStringList& names);
    bool handleEvent(int id, const QString& eventId);

    QPointer<QMenu> menu_;
    QHash<QAction*, int> ids_;
    int nextId_ = 1;
    uint revision_ = 1;
};
