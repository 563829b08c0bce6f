#pragma once

#include "platform/EventSounds.h"

struct ca_context;

// Event sounds through libcanberra, as desktop programs play them. The
// context is made on the first sound, so a program that never beeps never
// starts the sound system.
class CanberraEventSounds : public EventSounds {
public:
    CanberraEventSounds() = default;
    ~CanberraEventSounds() override;
    CanberraEventSounds(const CanberraEventSounds&) = delete;
    CanberraEventSounds& operator=(const CanberraEventSounds&) = delete;

    bool Play(const QString& name) override;

private:
    ca_context* context_ = nullptr;
    bool failed_ = false; // no context could be made: do not try again
};
