// Cost of one frame's timeline pass over the show script's tracks.
#include <benchmark/benchmark.h>

#include "show_sheet.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

static void tracks_evaluate_show(benchmark::State& state) {
    track_count = 0;
    program_set = ProgramSet{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    build_show_script();
    int32_t t = 0;
    for (auto _ : state) {
        tracks_evaluate(t);
        benchmark::DoNotOptimize(show_params);
        t = (t + 16) % SHOW_LENGTH_MS;  // walk the show so every track state is visited
    }
    state.SetLabel(std::to_string(track_count) + " tracks");
}
BENCHMARK(tracks_evaluate_show);

BENCHMARK_MAIN();
