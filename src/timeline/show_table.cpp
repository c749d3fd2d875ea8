// The executable's timeline table. The same source builds both tables: the show's, filled from its
// cue sheet, and an engine's, which holds no show (SHOW_TABLE_EMPTY); the generated data differs,
// nothing else, so an engine given a show's table by oruvane-export is the show's executable.
#include "timeline/show_table.h"

const ShowTable show_table = {
#ifdef SHOW_TABLE_EMPTY
#include "show_table_empty.inc"
#else
#include "show_table_data.inc"
#endif
};

// The layout every target shares: plain 32-bit fields, no padding anywhere.
static_assert(sizeof(Cue) == 40, "a cue is ten 32-bit fields");
static_assert(sizeof(ShowTable) == SHOW_TABLE_MAGIC_SIZE + 16 + SHOW_TABLE_CUES * sizeof(Cue), "the table has no padding");
