// The program set and its table, both derived from PROGRAM_LIST.
#include "timeline/program_set.h"

ProgramSet program_set;

#define PROGRAM_LABEL(label, vertex_file, fragment_file) #label,
const char* const PROGRAM_LABELS[PROGRAM_COUNT] = {PROGRAM_LIST(PROGRAM_LABEL)};
#undef PROGRAM_LABEL

#define PROGRAM_ROW(label, vertex_file, fragment_file) \
    {#label, #label ".vsh", #label ".fsh", &ProgramSet::label, {vertex_file, fragment_file}},
const ProgramEntry PROGRAM_TABLE[PROGRAM_COUNT] = {PROGRAM_LIST(PROGRAM_ROW)};
#undef PROGRAM_ROW
