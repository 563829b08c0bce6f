#pragma once

#include <QtCore/QString>

#include <memory>

// The per-user settings store, opened for the length of one load or save.
// Sections hold text values under idents. A missing section or ident reads
// as the default; a value that exists but cannot be read, or a write the
// store refuses, raises ERegistryException.
class RegIniFile {
public:
    virtual ~RegIniFile() = default;
    virtual QString ReadString(const QString& section, const QString& ident,
                               const QString& defaultValue) = 0;
    virtual void WriteString(const QString& section, const QString& ident,
                             const QString& value) = 0;
};

// Opens the store named by fileName (the program uses "Pingbox"), creating it
// when absent. Raises ERegistryException when the store cannot be opened.
class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    virtual std::unique_ptr<RegIniFile> Open(const QString& fileName) = 0;
};
