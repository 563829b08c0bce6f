#pragma once

#include "platform/ClassesRoot.h"

#include <QtCore/QByteArray>
#include <QtCore/QMap>

// Keys and their default values in memory. Counts open keys so that tests
// can see every opened key closed again.
class FakeClassesRoot : public ClassesRoot {
public:
    void Set(const QString& key, const QByteArray& value) { values[key.toLower()] = value; }

    long OpenKey(const QString& subKey, Key& key) override;
    long QueryValue(Key key, char* buffer, long size) override;
    long CloseKey(Key key) override;

    QMap<QString, QByteArray> values; // lower-case key -> value
    QMap<Key, QString> open;          // handle -> key
    QStringList opened;               // every key asked for, in order
    Key next = 100;
};
