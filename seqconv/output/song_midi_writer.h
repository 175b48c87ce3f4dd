#pragma once
// The MIDI file of one song: format 1, 24 ticks per quarter note, a conductor
// track with the tempo and the loop or end markers, then one note track per
// channelId in ascending order, all cut at the end time.

#include <cstdint>

struct SeqconvRun;
class OutputFile;

// A file holds at most 65,535 tracks (the 16-bit count of the header): the
// conductor track and this many note tracks. Later channels are dropped.
constexpr int32_t kMaxNoteTracks = 65534;

// Writes the whole MIDI file from run.events (sorted here in track order),
// run.loopStarts and run.state.tempo; writes the event log lines into `text`
// with flag l; fills run.usedPatches and run.dacKeys in order of first use.
void writeSongMidi(SeqconvRun& run, OutputFile& midi, OutputFile& text, bool noLoop, int32_t maxTime);
