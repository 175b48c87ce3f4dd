#include "seqconv/output/note_track.h"

#include <cstdio>

#include "common/midi_file.h"
#include "seqconv/interpreter/seq_event.h"
#include "seqconv/output/text_output.h"

namespace {

constexpr uint8_t kBendRangeSemitones = 12;
constexpr int32_t kFirstDacNote = 48;  // DAC keys become notes 48, 49, ... (C3 upwards)
constexpr uint8_t kHighestNote = 0x7F;
constexpr int32_t kLoudestVelocity = 127;
// One pitch unit is 1/256 semitone and the bend range is 12 semitones, so
// +-3072 units span the 14-bit bend: 8192 / 3072 = 8/3 per unit.
constexpr double kBendPerPitchUnit = 2.6666666666666665;

uint8_t noteByteFor(NoteTrackWriter& writer, const SeqEvent& e) {
    int32_t note = static_cast<uint8_t>(e.note);
    if (patchType(*writer.instruments, e.patch) == kDacPatchType) {
        // Sample patches play one sample per note number: each distinct
        // (patch, note) pair gets its own key, numbered in order of first use.
        note = kFirstDacNote + dacIndex(writer, e.patch, e.note);
    }
    // Past key 127 (more than 80 DAC keys) a MIDI data byte cannot follow.
    return note > kHighestNote ? kHighestNote : static_cast<uint8_t>(note);
}

// The GEMS volume is an attenuation, 0 the loudest; 127 and above are silent.
uint8_t velocityFor(int32_t volume) {
    if (volume >= kLoudestVelocity) return 0;
    if (volume <= 0) return kLoudestVelocity;
    return static_cast<uint8_t>(kLoudestVelocity - volume);
}

int32_t bendValueFor(int32_t pitch) {
    const double v = pitch * kBendPerPitchUnit + static_cast<double>(kMidiBendCentre);
    if (v >= kMidiBendMax) return kMidiBendMax;
    if (v <= 0.0) return 0;
    return static_cast<int32_t>(v);  // truncation toward zero
}

void appendChannelEvent(TrackBuffer& buf, uint8_t status, uint8_t a, uint8_t b) {
    buf.push_back(status);
    buf.push_back(a);
    buf.push_back(b);
}

// Appends `patch` to usedPatches on its first use in the song.
void usePatch(NoteTrackWriter& writer, int32_t patch) {
    std::vector<int32_t>& used = writer.lists->usedPatches;
    if (writer.patchPositions.try_emplace(patch, static_cast<int32_t>(used.size())).second) used.push_back(patch);
}

}  // namespace

void startSongTracks(NoteTrackWriter& writer, const InstrumentBank& instruments, SongLists& lists,
                     bool logEnabled, int32_t maxTime) {
    writer.instruments = &instruments;
    writer.lists = &lists;
    writer.logEnabled = logEnabled;
    writer.maxTime = maxTime;
    writer.buffer.clear();
    writer.patchPositions.clear();
    writer.dacPositions.clear();
    for (size_t i = 0; i < lists.usedPatches.size(); ++i)
        writer.patchPositions.emplace(lists.usedPatches[i], static_cast<int32_t>(i));
    for (size_t i = 0; i < lists.dacKeys.size(); ++i)
        writer.dacPositions.emplace(lists.dacKeys[i], static_cast<int32_t>(i));
}

void beginNoteTrack(NoteTrackWriter& writer, const SeqEvent& e, int channel) {
    writer.buffer.clear();
    char name[64];
    std::snprintf(name, sizeof name, "Patch %02X(%s)", static_cast<unsigned>(e.patch),
                  patchTypeName(patchType(*writer.instruments, e.patch)));
    appendTrackName(writer.buffer, name);
    appendInstrumentName(writer.buffer, name);
    appendBendRange(writer.buffer, channel, kBendRangeSemitones);
    writer.noteState.fill(0);
    writer.lastTime = 0;
}

void finishNoteTrack(NoteTrackWriter& writer, MidiFileWriter& midi) {
    // Notes still sounding at the end time simply last to the end of the track.
    appendEndOfTrack(writer.buffer, int64_t{writer.maxTime} - writer.lastTime);
    midi.writeTrack(writer.buffer);
    writer.buffer.clear();
}

int32_t dacIndex(NoteTrackWriter& writer, int32_t patch, int32_t note) {
    std::vector<int32_t>& keys = writer.lists->dacKeys;
    const auto key = static_cast<int32_t>(static_cast<uint32_t>(patch) * 256u + static_cast<uint32_t>(note));
    const auto [it, added] = writer.dacPositions.try_emplace(key, static_cast<int32_t>(keys.size()));
    if (added) keys.push_back(key);
    return it->second;
}

void emitEvent(NoteTrackWriter& writer, const SeqEvent& e, OutputFile& text, int channel) {
    const uint8_t on = e.on != 0 ? 1 : 0;
    if (writer.logEnabled) {
        printToFile(text, "time=%X channel=%X note=%X on=%X\n", static_cast<unsigned>(e.time),
                    static_cast<unsigned>(e.channelId), static_cast<unsigned>(e.note), static_cast<unsigned>(on));
    }
    if (e.time < 0 || e.time >= writer.maxTime) return;
    TrackBuffer& buf = writer.buffer;
    const auto ch = static_cast<uint8_t>(channel & 0x0F);
    appendDelta(buf, int64_t{e.time} - writer.lastTime);

    if (e.pitchEvent != 0) {
        const int32_t v = bendValueFor(e.pitch);
        appendChannelEvent(buf, kMidiPitchBend | ch, static_cast<uint8_t>(v & 0x7F), static_cast<uint8_t>((v >> 7) & 0x7F));
        writer.lastTime = e.time;
        return;
    }

    usePatch(writer, e.patch);
    const uint8_t noteByte = noteByteFor(writer, e);
    const uint8_t velocity = velocityFor(e.volume);
    // The state is kept per note number of the byte code, not per written key.
    uint8_t& state = writer.noteState[static_cast<uint8_t>(e.note)];
    if (state == on) {
        // A note struck again while sounding is ended first; a note-off for a
        // silent note becomes a zero-length note.
        appendChannelEvent(buf, (on ? kMidiNoteOff : kMidiNoteOn) | ch, noteByte, velocity);
        writer.lastTime = e.time;
        buf.push_back(0x00);
    }
    appendChannelEvent(buf, (on ? kMidiNoteOn : kMidiNoteOff) | ch, noteByte, velocity);
    state = on;
    writer.lastTime = e.time;
}
