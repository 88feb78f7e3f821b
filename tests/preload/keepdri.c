/* Preloaded into the sanitizer build's tests: keeps Mesa's software driver loaded until
 * the process ends. The driver frees its context state when it is unloaded at the close
 * of the last X display; the leak checker, running after that, can no longer see the
 * driver's data and reports that state as leaked from an unknown module. */
#include <dlfcn.h>

__attribute__((constructor)) static void KeepDriverLoaded(void) {
    static const char* const drivers[] = {
        "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
        "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so",
        "/usr/lib/dri/swrast_dri.so",
    };
    for (unsigned i = 0; i < sizeof drivers / sizeof drivers[0]; i++)
        if (dlopen(drivers[i], RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE)) break;
}
