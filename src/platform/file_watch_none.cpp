// Folder watching where the system offers no way to do it: nothing is ever watched.
#include "platform/file_watch.h"

int file_watch_start(const char*) { return 0; }
int file_watch_next(char*) { return 0; }
void file_watch_stop() {}
