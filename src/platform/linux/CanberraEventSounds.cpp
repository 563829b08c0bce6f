#include "CanberraEventSounds.h"

#include <canberra.h>

CanberraEventSounds::~CanberraEventSounds() {
    if (context_)
        ca_context_destroy(context_);
}

bool CanberraEventSounds::Play(const QString& name) {
    if (!context_ && !failed_) {
        if (ca_context_create(&context_) != CA_SUCCESS) {
            context_ = nullptr;
            failed_ = true;
        } else {
            ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Pingbox",
                                    CA_PROP_APPLICATION_ID, "pingbox", nullptr);
        }
    }
    if (!context_)
        return false;
    const QByteArray id = name.toUtf8();
    return ca_context_play(context_, 0, CA_PROP_EVENT_ID, id.constData(), nullptr) == CA_SUCCESS;
}
