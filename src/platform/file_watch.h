// Watching a folder for files that were written, for the tools that reload what an author edits.
// One folder at a time; polling never blocks.
#pragma once

enum { FILE_WATCH_NAME_SIZE = 256 };

// Starts watching `dir` for files written and closed, or moved in (how editors save), replacing
// any earlier watch. Returns 1, or 0 when the folder cannot be watched.
int file_watch_start(const char* dir);
// Takes the next change: the file's name (no folder) into name[FILE_WATCH_NAME_SIZE]. Returns 0
// when nothing changed since the last call, or nothing is watched.
int file_watch_next(char* name);
// Stops watching; harmless when nothing is watched.
void file_watch_stop();
