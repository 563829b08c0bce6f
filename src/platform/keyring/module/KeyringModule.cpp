#include "platform/keyring/QtKeychainStore.h"
#include "platform/linux/ModuleSecretStore.h"

#include <type_traits>

// The module's one entry point, found by ModuleSecretStore under
// secretStoreFactoryName.
extern "C" Q_DECL_EXPORT SecretStore* pingbox_keyring_create() {
    return new QtKeychainStore;
}

static_assert(std::is_same_v<decltype(&pingbox_keyring_create), SecretStoreFactory>);
