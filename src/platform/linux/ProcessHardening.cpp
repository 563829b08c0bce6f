#include "ProcessHardening.h"

#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <sys/resource.h>

void keepSecretsOutOfDumps() {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#if defined(__linux__)
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}
