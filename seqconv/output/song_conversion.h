#pragma once
// One song from byte code to files: two interpretation passes with the end
// time chosen between them, then the MIDI file and the listings.

#include <cstdint>

struct SeqconvRun;
class OutputFile;

// An aligned end time further than this past the last event of the first pass
// is not used; the song is then written without loop markers.
constexpr int64_t kMaxAlignedOvershoot = int64_t{1} << 20;

// Converts output song `song`: first pass (loops measured), end time, second
// pass (loops repeated up to the end time), MIDI file, then the listings.
void convertSong(SeqconvRun& run, int32_t song, OutputFile& midi, OutputFile& text);

// The end time after the first pass, from run.events (sorted in time order) and
// the aligned loops: the last event time (at least 1), or with loops aligned
// the first aligned time at or after it. Sets noLoop when the loops cannot be
// aligned within kMaxLoopPeriod / kMaxAlignedOvershoot or 32 bits.
int32_t chooseEndTime(const SeqconvRun& run, bool& noLoop);
