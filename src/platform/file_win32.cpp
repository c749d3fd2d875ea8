// Regular-file opening on Windows.
#include "platform/file.h"

#include <sys/stat.h>

FILE* plat_open_regular(const char* path) {
    // Only what the file system calls a regular file; a directory or a device name is refused.
    struct _stat64 st;
    if (_stat64(path, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return nullptr;
    return fopen(path, "rb");
}
