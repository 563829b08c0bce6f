#pragma once

#include "platform/InstanceMarker.h"

#include <QtCore/QString>

// The marker is a lock file in a folder that only the user can write to, held
// with flock(): the kernel releases the lock when the process dies, so a
// crash never leaves a stale marker behind.
class FlockInstanceMarker : public InstanceMarker {
public:
    // Keeps the marker in runtimeFolder(); when there is none, Create fails
    // and Problem() says why.
    FlockInstanceMarker();
    explicit FlockInstanceMarker(QString folder);
    ~FlockInstanceMarker() override;
    Result Create(const QString& name) override;
    void Close() override;

    const QString& Folder() const { return folder_; }
    // Empty unless the last Create failed; then a text for the user that says
    // why this copy runs without a marker.
    const QString& Problem() const { return problem_; }

    // The first usable of: /run/user/<uid> (under perUserRoot) when it is a
    // folder of this user closed to everyone else; $XDG_RUNTIME_DIR;
    // "pingbox-<uid>" in the temporary
    // folder; "pingbox" in $XDG_CACHE_HOME (or ~/.cache). A folder is usable
    // when it is a real folder of this user that nobody else can write to; the
    // two of our own are created as needed and closed to others. Raises
    // Exception, saying what was wrong with each, when none is usable.
    static QString runtimeFolder(const QString& perUserRoot = QStringLiteral("/run/user"));

private:
    QString folder_;
    QString problem_;
    int fd_ = -1;
};
