#pragma once

#include "platform/Errors.h"
#include "platform/RegIniFile.h"

#include <QtCore/QMap>
#include <QtCore/QSet>
#include <QtCore/QString>

// The settings store in memory. Idents can be marked unreadable or
// unwritable to drive the failure paths.
class MemoryRegistry : public RegistryStore {
public:
    using Key = QString; // "file/section/ident"
    static Key key(const QString& section, const QString& ident) { return section + u'/' + ident; }

    std::unique_ptr<RegIniFile> Open(const QString& fileName) override;

    QMap<Key, QString> values;
    QSet<Key> unreadable;
    QSet<Key> unwritable;
    bool failOpen = false;
    int opens = 0;
    int openNow = 0; // stores currently open
    QString lastFileName;
};
