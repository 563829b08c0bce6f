#include "DBusMenuExporter.h"

#include <QtCore/QEvent>
#include <QtCore/QMetaObject>
#include <QtGui/QActionEvent>
#include <QtGui/QActionGroup>
#include <QtWidgets/QApplication>

DBusMenuExporter::DBusMenuExporter(QObject* parent, QMenu* menu) : QDBusAbstractAdaptor(parent) {
    registerDBusTrayTypes();
    // Properties change on their own; no need for Qt's automatic relay.
    setAutoRelaySignals(false);
    SetMenu(menu);
}

DBusMenuExporter::~DBusMenuExporter() {
    if (menu_)
        menu_->removeEventFilter(this);
}

void DBusMenuExporter::SetMenu(QMenu* menu) {
    if (menu == menu_)
        return;
    if (menu_)
        menu_->removeEventFilter(this);
    menu_ = menu;
    ids_.clear();
    if (menu_)
        menu_->installEventFilter(this);
    ++revision_;
    emit LayoutUpdated(revision_, 0);
}

QString DBusMenuExporter::TextDirection() const {
    return QApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                              : QStringLiteral("ltr");
}

QString DBusMenuExporter::DBusLabel(const QString& text) {
    QString label;
    label.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
                label += QLatin1Char('&');
                ++i;
            } else if (i + 1 < text.size()) {
                label += QLatin1Char('_');
            }
        } else if (c == QLatin1Char('_')) {
            label += QStringLiteral("__");
        } else {
            label += c;
        }
    }
    return label;
}

int DBusMenuExporter::idOf(QAction* action) {
    auto it = ids_.find(action);
    if (it == ids_.end())
        it = ids_.insert(action, nextId_++);
    return it.value();
}

QAction* DBusMenuExporter::actionOf(int id) const {
    if (!menu_ || id <= 0)
        return nullptr;
    for (QAction* action : menu_->actions())
        if (ids_.value(action, 0) == id)
            return action;
    return nullptr;
}

QVariantMap DBusMenuExporter::propertiesOf(int id, const QStringList& names) {
    QVariantMap properties;
    if (id == 0) {
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else if (QAction* action = actionOf(id)) {
        if (action->isSeparator()) {
            properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        } else {
            properties.insert(QStringLiteral("label"), DBusLabel(action->text()));
            if (action->isCheckable()) {
                properties.insert(QStringLiteral("toggle-type"),
                                  action->actionGroup() && action->actionGroup()->isExclusive()
                                      ? QStringLiteral("radio")
                                      : QStringLiteral("checkmark"));
                properties.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
            }
        }
        // Defaults (enabled, visible) are sent too: some hosts do not apply them.
        properties.insert(QStringLiteral("enabled"), action->isEnabled());
        properties.insert(QStringLiteral("visible"), action->isVisible());
    }
    if (!names.isEmpty()) {
        for (auto it = properties.begin(); it != properties.end();)
            it = names.contains(it.key()) ? std::next(it) : properties.erase(it);
    }
    return properties;
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuLayout& layout) {
    layout = DBusMenuLayout{parentId, propertiesOf(parentId, propertyNames), {}};
    // The menu has one level: only item 0 has children.
    if (parentId == 0 && recursionDepth != 0 && menu_) {
        for (QAction* action : menu_->actions()) {
            const int id = idOf(action);
            layout.children.append(DBusMenuLayout{id, propertiesOf(id, propertyNames), {}});
        }
    }
    return revision_;
}

DBusMenuItems DBusMenuExporter::GetGroupProperties(const QList<int>& ids,
                                                   const QStringList& propertyNames) {
    DBusMenuItems items;
    for (const int id : ids)
        if (id == 0 || actionOf(id))
            items.append(DBusMenuItem{id, propertiesOf(id, propertyNames)});
    return items;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name) {
    return QDBusVariant(propertiesOf(id, {name}).value(name));
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    handleEvent(id, eventId);
}

QList<int> DBusMenuExporter::EventGroup(const DBusMenuEvents& events) {
    QList<int> unknown;
    for (const DBusMenuEvent& event : events)
        if (!handleEvent(event.id, event.eventId))
            unknown.append(event.id);
    return unknown;
}

bool DBusMenuExporter::handleEvent(int id, const QString& eventId) {
    if (id == 0)
        return menu_;
    QAction* action = actionOf(id);
    if (!action)
        return false;
    if (eventId == QLatin1String("clicked") && action->isEnabled() && action->isVisible() &&
        !action->isSeparator()) {
        // The host waits for this call to return; the handler may not.
        QMetaObject::invokeMethod(
            action,
            [action] {
                if (action->isEnabled())
                    action->trigger();
            },
            Qt::QueuedConnection);
    }
    return true;
}

bool DBusMenuExporter::AboutToShow(int id) {
    if (id == 0 && menu_)
        QMetaObject::invokeMethod(menu_.data(), "aboutToShow", Qt::QueuedConnection);
    return false; // the layout is always current
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    idErrors.clear();
    for (const int id : ids) {
        if (id != 0 && !actionOf(id))
            idErrors.append(id);
        else
            AboutToShow(id);
    }
    return {};
}

bool DBusMenuExporter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == menu_) {
        switch (event->type()) {
        case QEvent::ActionAdded:
        case QEvent::ActionRemoved:
            if (event->type() == QEvent::ActionRemoved)
                ids_.remove(static_cast<QActionEvent*>(event)->action());
            ++revision_;
            emit LayoutUpdated(revision_, 0);
            break;
        case QEvent::ActionChanged: {
            QAction* action = static_cast<QActionEvent*>(event)->action();
            const int id = idOf(action);
            emit ItemsPropertiesUpdated({DBusMenuItem{id, propertiesOf(id, {})}}, {});
            break;
        }
        default:
            break;
        }
    }
    return QDBusAbstractAdaptor::eventFilter(watched, event);
}
