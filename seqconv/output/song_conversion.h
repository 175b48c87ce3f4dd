#pragma once
// One song from byte code to files: two interpretation passes with the end
// time chosen between them, then the MIDI file and the listings.

#include <cstdint>
#include <vector>

#include "seqconv/interpreter/interpreter.h"
#include "seqconv/interpreter/loop_alignment.h"
#include "seqconv/output/listings.h"
#include "seqconv/output/song_midi_writer.h"

class OutputFile;

// An aligned end time further than this past the last event of the first pass
// is not used; the song is then written without loop markers.
constexpr int64_t kMaxAlignedOvershoot = int64_t{1} << 20;

// Converts output song `song`: first pass (loops measured), end time, second
// pass (loops repeated up to the end time), MIDI file, then the listings.
// Empties the song's lists first; leaves in.state.maxTime at the end time.
void convertSong(SongInterpreter& in, const SongWriterOptions& writer, SongLists& lists, int32_t song,
                 OutputFile& midi, OutputFile& text);

// How a song ends.
struct SongEnd {
    int32_t maxTime = 1;  // never 0
    bool noLoop = true;   // without loop markers
};

// The end time after the first pass, from its events (sorted in time order)
// and the aligned loops: the last event time (at least 1), or with loops
// aligned (loops.noLoop false) the first aligned time at or after it. Falls
// back to noLoop when the loops cannot be aligned within kMaxLoopPeriod /
// kMaxAlignedOvershoot or 32 bits.
SongEnd chooseEndTime(const std::vector<SeqEvent>& events, const AlignedLoops& loops);
