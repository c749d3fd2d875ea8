// The running executable's handle on Windows: the module the process was started from.
#include <windows.h>

#include "platform.h"

void* plat_module_handle() { return (void*)GetModuleHandleW(nullptr); }
