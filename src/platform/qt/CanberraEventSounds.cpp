#include "CanberraEventSounds.h"

#include <canberra.h>
#include <dlfcn.h>

CanberraEventSounds::~CanberraEventSounds() {
    if (context_)
        destroy_(context_);
    if (library_)
        dlclose(library_);
}

bool CanberraEventSounds::load() {
    library_ = dlopen("libcanberra.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (!library_)
        return false;
    auto create = reinterpret_cast<int (*)(ca_context**)>(dlsym(library_, "ca_context_create"));
    auto change =
        reinterpret_cast<int (*)(ca_context*, ...)>(dlsym(library_, "ca_context_change_props"));
    play_ =
        reinterpret_cast<int (*)(ca_context*, unsigned, ...)>(dlsym(library_, "ca_context_play"));
    destroy_ = reinterpret_cast<int (*)(ca_context*)>(dlsym(library_, "ca_context_destroy"));
    if (!create || !change || !play_ || !destroy_ || create(&context_) != CA_SUCCESS) {
        context_ = nullptr;
        return false;
    }
    change(context_, CA_PROP_APPLICATION_NAME, "Pingbox", CA_PROP_APPLICATION_ID, "pingbox",
           nullptr);
    return true;
}

bool CanberraEventSounds::Play(const QString& name) {
    if (!context_ && !failed_)
        failed_ = !load();
    if (!context_)
        return false;
    const QByteArray id = name.toUtf8();
    return play_(context_, 0, CA_PROP_EVENT_ID, id.constData(), nullptr) == CA_SUCCESS;
}
