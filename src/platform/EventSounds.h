#pragma once

#include <QtCore/QString>

// The desktop's event sounds, named as in the freedesktop sound theme
// ("bell", "dialog-information", ...).
class EventSounds {
public:
    virtual ~EventSounds() = default;
    // Starts the named sound; false when the desktop could not play it.
    virtual bool Play(const QString& name) = 0;
};
