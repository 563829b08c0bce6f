#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <optional>

// File access for the settings file. Every failure raises ERegistryException
// with a text that names the file and says what was wrong.

// The whole file, or std::nullopt when there is none (also a dangling link).
// Anything but a regular file of at most limit bytes is refused without
// reading it, and a named pipe without a writer never blocks.
std::optional<QByteArray> readSettingsFile(const QString& path, qint64 limit);

// Where a save of path has to go: the file at the end of any chain of
// symbolic links, so that saving keeps the links and changes their target.
QString resolveSettingsFile(const QString& path);

// Replaces the regular file at path (or creates it) with bytes, mode 0600, so
// that any crash leaves either the old or the new contents. Refuses to replace
// anything that is not a regular file.
void replaceFileAtomically(const QString& path, const QByteArray& bytes);
