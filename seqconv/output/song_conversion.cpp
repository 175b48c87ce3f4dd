#include "seqconv/output/song_conversion.h"

#include <cstdio>
#include <limits>

SongEnd chooseEndTime(const std::vector<SeqEvent>& events, const AlignedLoops& loops) {
    // The end time is never 0, so that an end time always means something.
    int64_t last = events.empty() ? 1 : events.back().time;
    if (last < 1) last = 1;
    SongEnd end;
    end.maxTime = static_cast<int32_t>(last);
    if (loops.noLoop) return end;
    const LoopSolution solution = solveLoopAlignment(loops);
    int64_t aligned = solution.alignedTime;
    if (solution.solvable && aligned < last) {
        // The first aligned time not below the last event.
        const int64_t periods = (last - aligned + solution.loopPeriod - 1) / solution.loopPeriod;
        aligned += periods * solution.loopPeriod;
    }
    if (solution.solvable && aligned <= last + kMaxAlignedOvershoot &&
        aligned <= std::numeric_limits<int32_t>::max()) {
        end.maxTime = static_cast<int32_t>(aligned);
        end.noLoop = false;
    }
    return end;
}

void convertSong(SongInterpreter& in, const SongWriterOptions& writer, SongLists& lists, int32_t song,
                 OutputFile& midi, OutputFile& text) {
    SongPassLists& pass = in.lists;
    lists.clear();
    pass.loops.clear();

    // First pass: every infinite loop is played once and measured.
    in.state.maxTime = 0;  // no end time yet
    pass.events.clear();
    interpretSongPass(in, song, Pass::kMeasure);
    sortTimeOrder(pass.events);
    const bool noLoop = !in.options.crtLoops || pass.loops.starts.empty();
    const SongEnd end = chooseEndTime(pass.events, alignLoops(pass.loops, noLoop));
    in.state.maxTime = end.maxTime;
    if (in.options.logEnabled) std::fprintf(in.trace, "maxtime = %d\n", end.maxTime);

    // Second pass: the loops repeat up to the end time.
    pass.events.clear();
    interpretSongPass(in, song, Pass::kRepeat);
    const SongToWrite written{pass.events, pass.loops.starts, in.state.tempo, end.noLoop, end.maxTime};
    writeSongMidi(writer, written, lists, midi, text);
    writeListings(writer.instruments, lists, text);
}
