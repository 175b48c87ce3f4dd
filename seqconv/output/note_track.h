#pragma once
// One note track of a song MIDI file: the events of one channelId turned into
// MIDI note-on, note-off and pitch-bend events, plus the per-song numbering
// of used patches and DAC keys that the listings report.

#include <array>
#include <cstdint>
#include <unordered_map>

#include "common/midi_track.h"
#include "seqconv/output/instrument_bank.h"
#include "seqconv/output/listings.h"

struct SeqEvent;
class MidiFileWriter;
class OutputFile;

// Writer state of one song: the track being built and the lookups beside the
// song's ordered usedPatches / dacKeys lists (position of every entry).
struct NoteTrackWriter {
    const InstrumentBank* instruments = nullptr;  // patch types and track names
    SongLists* lists = nullptr;          // filled in order of first use
    bool logEnabled = false;             // flag l: one text line per event
    int32_t maxTime = 0;                 // events at or after it are dropped
    TrackBuffer buffer;                  // the note track being built
    int32_t lastTime = 0;                // time of the last event written to it
    std::array<uint8_t, 256> noteState{};  // last `on` written per note number
    std::unordered_map<int32_t, int32_t> patchPositions;  // patch -> its index in lists->usedPatches
    std::unordered_map<int32_t, int32_t> dacPositions;    // patch * 256 + note -> its index in lists->dacKeys
};

// A writer for one song ending at maxTime, its lookups seeded from
// lists.usedPatches and lists.dacKeys (empty at the start of a song).
void startSongTracks(NoteTrackWriter& writer, const InstrumentBank& instruments, SongLists& lists,
                     bool logEnabled, int32_t maxTime);

// Empties the buffer and begins a note track named after e's patch
// ("Patch %02X(%s)" as track and instrument name), with the bend range set
// to 12 semitones on `channel`; note states and lastTime start at 0.
void beginNoteTrack(NoteTrackWriter& writer, const SeqEvent& e, int channel);

// Appends end of track at maxTime and writes the chunk to `midi`.
void finishNoteTrack(NoteTrackWriter& writer, MidiFileWriter& midi);

// Position of the key patch * 256 + note in dacKeys, appended on first use.
int32_t dacIndex(NoteTrackWriter& writer, int32_t patch, int32_t note);

// Writes e's log line into `text` (flag l), then, when 0 <= time < maxTime,
// appends it to the track on MIDI channel `channel`: a pitch bend, or a note
// event (preceded by the opposite event when the note is already in that state).
void emitEvent(NoteTrackWriter& writer, const SeqEvent& e, OutputFile& text, int channel);
