#pragma once
// The MIDI file of one song: format 1, 24 ticks per quarter note, a conductor
// track with the tempo and the loop or end markers, then one note track per
// channelId in ascending order, all cut at the end time.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "seqconv/interpreter/seq_event.h"
#include "seqconv/output/instrument_bank.h"
#include "seqconv/output/listings.h"

class OutputFile;

// A file holds at most 65,535 tracks (the 16-bit count of the header): the
// conductor track and this many note tracks. Later channels are dropped.
constexpr int32_t kMaxNoteTracks = 65534;

// What the writers of a song read besides the song: fixed for the run.
struct SongWriterOptions {
    const InstrumentBank& instruments;
    bool palTempo = false;    // 'p': tempo scaled for the 50 Hz timer
    bool logEnabled = false;  // 'l': "output", "loop_start", "track_end" and the event lines
    std::FILE* out = stdout;  // where those lines go, except the event lines
};

// One song after its second pass.
struct SongToWrite {
    std::vector<SeqEvent>& events;           // sorted here in track order
    const std::vector<int32_t>& loopStarts;  // the infinite-loop start times
    int32_t tempo = 0;                       // the tempo register after the pass
    bool noLoop = true;                      // an "end" marker instead of the loop markers
    int32_t maxTime = 0;                     // the end time
};

// Writes the whole MIDI file; writes the event log lines into `text` with
// flag l; fills lists.usedPatches and lists.dacKeys in order of first use.
void writeSongMidi(const SongWriterOptions& options, const SongToWrite& song, SongLists& lists, OutputFile& midi,
                   OutputFile& text);
