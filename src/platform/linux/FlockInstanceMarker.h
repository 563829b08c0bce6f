#pragma once

#include "platform/SingleInstance.h"

// The marker is a lock file in the user's runtime folder, held with flock():
// the kernel releases the lock when the process dies, so a crash never leaves
// a stale marker behind.
class FlockInstanceMarker : public InstanceMarker {
public:
    explicit FlockInstanceMarker(QString folder);
    ~FlockInstanceMarker() override;
    Result Create(const QString& name) override;
    void Close() override;

    // $XDG_RUNTIME_DIR, or a private folder under the temporary folder.
    static QString runtimeFolder();

private:
    QString folder_;
    int fd_ = -1;
};
