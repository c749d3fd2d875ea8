// The running executable's handle on POSIX systems: the dynamic loader's handle of the main program.
#include <dlfcn.h>

#include "platform.h"

void* plat_module_handle() {
    static void* self = dlopen(nullptr, RTLD_LAZY);
    return self;
}
