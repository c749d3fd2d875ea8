// Folder watching with inotify: one non-blocking descriptor whose events are read in batches.
#include "platform/file_watch.h"

#include <string.h>
#include <sys/inotify.h>
#include <unistd.h>

static struct {
    int fd = -1;
    alignas(struct inotify_event) char buffer[8192];
    ssize_t filled = 0;
    ssize_t at = 0;
} watch;

int file_watch_start(const char* dir) {
    file_watch_stop();
    watch.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch.fd < 0) return 0;
    // Written in place (close after write) or saved by rename over the old file.
    if (inotify_add_watch(watch.fd, dir, IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        file_watch_stop();
        return 0;
    }
    return 1;
}

int file_watch_next(char* name) {
    if (watch.fd < 0) return 0;
    for (;;) {
        if (watch.at >= watch.filled) {
            watch.filled = read(watch.fd, watch.buffer, sizeof watch.buffer);
            watch.at = 0;
            if (watch.filled <= 0) {
                watch.filled = 0;
                return 0;
            }
        }
        const struct inotify_event* ev = (const struct inotify_event*)(watch.buffer + watch.at);
        watch.at += (ssize_t)(sizeof(struct inotify_event) + ev->len);
        if (ev->len == 0) continue;
        strncpy(name, ev->name, FILE_WATCH_NAME_SIZE - 1);
        name[FILE_WATCH_NAME_SIZE - 1] = '\0';
        return 1;
    }
}

void file_watch_stop() {
    if (watch.fd >= 0) close(watch.fd);
    watch.fd = -1;
    watch.filled = watch.at = 0;
}
