#include "seqconv/output/song_conversion.h"

#include <cstdio>
#include <limits>

#include "seqconv/interpreter/interpreter.h"
#include "seqconv/output/listings.h"
#include "seqconv/interpreter/loop_alignment.h"
#include "seqconv/output/song_midi_writer.h"
#include "seqconv/seqconv_run.h"

int32_t chooseEndTime(const SeqconvRun& run, bool& noLoop) {
    // The end time is never 0: that value tells the interpreter it is in the
    // first pass.
    int64_t last = run.events.empty() ? 1 : run.events.back().time;
    if (last < 1) last = 1;
    if (!noLoop) {
        const LoopSolution loops = solveLoopAlignment(run);
        int64_t end = loops.alignedTime;
        if (loops.solvable && end < last) {
            // The first aligned time not below the last event.
            const int64_t periods = (last - end + loops.loopPeriod - 1) / loops.loopPeriod;
            end += periods * loops.loopPeriod;
        }
        if (loops.solvable && end <= last + kMaxAlignedOvershoot && end <= std::numeric_limits<int32_t>::max())
            return static_cast<int32_t>(end);
        noLoop = true;
    }
    return static_cast<int32_t>(last);
}

void convertSong(SeqconvRun& run, int32_t song, OutputFile& midi, OutputFile& text) {
    run.usedPatches.clear();
    run.dacKeys.clear();
    run.loopStarts.clear();
    run.loopLengths.clear();
    run.loopModuli.clear();
    run.loopResidues.clear();
    bool noLoop = !run.flags.crtLoops;

    // First pass: every infinite loop is played once and measured.
    run.state.maxTime = 0;
    run.events.clear();
    interpretSongPass(run, song);
    if (run.loopStarts.empty()) noLoop = true;
    sortTimeOrder(run.events);
    alignLoops(run, noLoop);
    run.state.maxTime = chooseEndTime(run, noLoop);
    if (run.flags.logEnabled) std::fprintf(run.out, "maxtime = %d\n", run.state.maxTime);

    // Second pass: the loops repeat up to the end time.
    run.events.clear();
    interpretSongPass(run, song);
    writeSongMidi(run, midi, text, noLoop, run.state.maxTime);
    writeListings(run, text);
}
