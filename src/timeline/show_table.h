// The show's timeline as the executable carries it: its length and its cues in one fixed-size table
// of plain numbers (program indices, never pointers), laid out alike on every target (Linux,
// Windows, WebAssembly) and opened by a marker, so that an engine built with a table that holds no
// show can be given one without a compiler. The build fills it from the cue sheet; oruvane-export
// fills it in a copy of such an engine. The show reads every value of it at run time.
#pragma once
#include <stdint.h>

#include "timeline/cues.h"

enum {
    SHOW_TABLE_CUES = 1024,  // the most cues a show has (each adds at most 4 of TRACK_CAPACITY tracks)
    SHOW_TABLE_VERSION = 1,  // changes with the layout; an exporter takes only its own
    SHOW_TABLE_MAGIC_SIZE = 16,
};

// The marker that opens the table: 15 characters and a terminating zero.
#define SHOW_TABLE_MAGIC "oruvane:show-v1"

struct ShowTable {
    char magic[SHOW_TABLE_MAGIC_SIZE];  // SHOW_TABLE_MAGIC
    int32_t version;                    // SHOW_TABLE_VERSION
    int32_t size;                       // sizeof(ShowTable)
    int32_t length_ms;                  // the show's length; 0 or less: the table holds no show
    int32_t cue_count;                  // cues[0 .. cue_count) are the show's, in line order
    Cue cues[SHOW_TABLE_CUES];          // the rest are SHOW_TABLE_FILLER
};

// What fills an unused entry: no zero bytes, so that no tool that packs an executable's data
// (binaryen splits a WebAssembly data segment at runs of zeros) ever cuts the table apart.
#define SHOW_TABLE_FILLER_BITS 0x5A5A5A5Au

// The table of this executable.
extern const ShowTable show_table;
