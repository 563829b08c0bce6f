#include "FakeClassesRoot.h"

#include <cstring>

long FakeClassesRoot::OpenKey(const QString& subKey, Key& key) {
    opened << subKey;
    if (!values.contains(subKey.toLower()))
        return ERROR_FILE_NOT_FOUND;
    key = next++;
    open[key] = subKey.toLower();
    return ERROR_SUCCESS;
}

long FakeClassesRoot::QueryValue(Key key, char* buffer, long size) {
    if (!open.contains(key))
        return ERROR_INVALID_HANDLE;
    const QByteArray& value = values[open[key]];
    if (value.size() + 1 > size)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, value.constData(), std::size_t(value.size()) + 1);
    return ERROR_SUCCESS;
}

long FakeClassesRoot::CloseKey(Key key) {
    return open.remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
