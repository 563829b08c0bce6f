#pragma once

#include "platform/EventSounds.h"

struct ca_context;

// Event sounds through libcanberra, as desktop programs play them. The
// library is loaded and its context made on the first sound: a resident
// program that never beeps carries neither the library nor its decoders.
class CanberraEventSounds : public EventSounds {
public:
    CanberraEventSounds() = default;
    ~CanberraEventSounds() override;
    CanberraEventSounds(const CanberraEventSounds&) = delete;
    CanberraEventSounds& operator=(const CanberraEventSounds&) = delete;

    bool Play(const QString& name) override;

private:
    bool load();

    void* library_ = nullptr;
    ca_context* context_ = nullptr;
    int (*play_)(ca_context*, unsigned, ...) = nullptr;
    int (*destroy_)(ca_context*) = nullptr;
    bool failed_ = false; // no library or no context: do not try again
};
