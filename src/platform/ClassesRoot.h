#pragma once

#include <QtCore/QString>

#include <cstdint>

// Read-only access to the system's file-type associations, in the shape of a
// registry root: a key per extension (".htm") whose default value names a
// file class, and "<class>\shell\open\command" whose default value is the
// command line that opens a file of that class, "%1" standing for the file.
class ClassesRoot {
public:
    using Key = std::uintptr_t;
    enum : long {
        ERROR_SUCCESS = 0,
        ERROR_FILE_NOT_FOUND = 2,
        ERROR_INVALID_HANDLE = 6,
        ERROR_MORE_DATA = 234
    };

    virtual ~ClassesRoot() = default;
    // Opens subKey (case-insensitive) for querying; 0 on success.
    virtual long OpenKey(const QString& subKey, Key& key) = 0;
    // Copies the key's default value and a NUL into buffer. size is the
    // buffer's length in bytes; ERROR_MORE_DATA when the value does not fit.
    virtual long QueryValue(Key key, char* buffer, long size) = 0;
    virtual long CloseKey(Key key) = 0;
};
