#include "tonepick/midi/vgm_midi_writer.h"

#include <cstdio>
#include <vector>

#include "common/midi_file.h"
#include "common/midi_track.h"
#include "tonepick/midi/dac_track.h"
#include "tonepick/midi/level_controllers.h"
#include "tonepick/midi/note_conversion.h"
#include "tonepick/midi/note_transpose.h"
#include "tonepick/midi/pitch_bend_cache.h"

namespace {

constexpr uint8_t kVelocity = 0x7F;
constexpr uint8_t kBendRangeSemitones = 12;
constexpr int kFirstPsgNoteChannel = 10;  // PSG notes skip channels 6..9

// The tempo track, six FM tracks and four PSG tracks, however many are silent.
constexpr uint16_t kTrackCount = 11;
// 22050 ticks per quarter note at 500000 us per quarter note: one tick per
// 44100 Hz sample.
constexpr uint16_t kDivision = 22050;
constexpr uint32_t kMicrosecondsPerQuarter = 500000;

// The bytes of one event list entry, gathered and appended to the track in
// one go: per byte, a vector's push_back costs more than the rest of the work.
// An entry writes at most a gap, two three-byte events and a zero delta,
// and in levels mode two controllers, each with a zero delta, before a note.
class EntryBytes {
public:
    explicit EntryBytes(TrackBuffer& buf) : buf_(buf) {}
    ~EntryBytes() { buf_.insert(buf_.end(), bytes_, end_); }
    EntryBytes(const EntryBytes&) = delete;
    EntryBytes& operator=(const EntryBytes&) = delete;

    // Ticks between two event times. Times are the 32-bit sample clock, which
    // wraps: the gap is their difference modulo 2^32, written in full however
    // long. Always the entry's first bytes.
    void gap(uint32_t time, uint32_t lastTime) {
        const uint32_t ticks = time - lastTime;
        if (ticks > kMaxVlq) {
            appendDelta(buf_, static_cast<int64_t>(ticks));  // nothing gathered yet
            return;
        }
        end_ = putVlq(end_, static_cast<int32_t>(ticks));
    }
    void zeroDelta() { *end_++ = 0x00; }
    void channelEvent(uint8_t status, int channel, int data1, int data2) {
        end_[0] = static_cast<uint8_t>(status | (channel & 0x0F));
        end_[1] = static_cast<uint8_t>(data1 & 0x7F);
        end_[2] = static_cast<uint8_t>(data2 & 0x7F);
        end_ += 3;
    }
    void bend(int channel, int value) { channelEvent(kMidiPitchBend, channel, value & 0x7F, (value >> 7) & 0x7F); }
    void controller(int channel, int number, int value) { channelEvent(kMidiControlChange, channel, number, value); }

private:
    static constexpr size_t kMaxBytes = kMaxVlqBytes + 3 + 1 + 3 + 2 * (3 + 1);
    TrackBuffer& buf_;
    uint8_t bytes_[kMaxBytes];
    uint8_t* end_ = bytes_;
};

void appendNames(TrackBuffer& buf, const char* text) {
    appendTrackName(buf, text);
    appendInstrumentName(buf, text);
}

// The velocity of a note-on, after the controllers that go before it (levels
// mode), each followed by a zero delta: the note keeps its time.
uint8_t noteOnVelocity(EntryBytes& out, LevelFollower* levels, int channel) {
    if (levels == nullptr) return kVelocity;
    const NoteOnLevels n = startNote(*levels);
    if (n.expression >= 0) {
        out.controller(channel, kMidiExpression, n.expression);
        out.zeroDelta();
    }
    if (n.pan >= 0) {
        out.controller(channel, kMidiPan, n.pan);
        out.zeroDelta();
    }
    return n.velocity;
}

// A level event of the track's channel (levels mode): an expression
// controller at its own time when the loudness of a sounding note changed.
void writeLevel(TrackBuffer& buf, LevelFollower& levels, const LevelEvent& e, bool sounding, int channel,
                uint32_t& lastTime) {
    const int expression = followLevel(levels, e, sounding);
    if (expression < 0) return;
    EntryBytes out(buf);
    out.gap(e.time, lastTime);
    out.controller(channel, kMidiExpression, expression);
    lastTime = e.time;
}

// FM channel i: notes from the frequency word at key-on, then pitch bends that
// follow every frequency change under the held note (never a re-strike).
struct FmTrack {
    TrackBuffer& buf;
    PitchBendCache& bends;
    int i;
    int transpose = 0;                // semitones added to the notes written
    LevelFollower* levels = nullptr;  // levels mode only
    bool sounding = false;
    int note = 0;                     // before transposition: the bends are measured from it
    int lastBend = kMidiBendCentre;  // kept across key-offs
    uint32_t lastTime = 0;

    void begin() {
        char name[16];
        std::snprintf(name, sizeof name, "YM2612 %02X", i);
        appendNames(buf, name);
        appendBendRange(buf, i, kBendRangeSemitones);
    }
    void feed(const ChannelEvent& e) {
        EntryBytes out(buf);
        if (e.on != 0 && !sounding) {
            out.gap(e.time, lastTime);
            const uint8_t velocity = noteOnVelocity(out, levels, i);
            note = ym2612NoteOf(e.freq);
            const int bend = bends.bendOf(e.freq, note);
            if (bend != lastBend) {
                out.bend(i, bend);
                out.zeroDelta();
            }
            out.channelEvent(kMidiNoteOn, i, transposeNote(note, transpose), velocity);
            lastBend = bend;
            sounding = true;
            lastTime = e.time;
        } else if (e.on != 0) {
            const int bend = bends.bendOf(e.freq, note);
            if (bend == lastBend) return;
            out.gap(e.time, lastTime);
            out.bend(i, bend);
            lastBend = bend;
            lastTime = e.time;
        } else {
            // Written even for a silent channel, with the last note played.
            out.gap(e.time, lastTime);
            out.channelEvent(kMidiNoteOff, i, transposeNote(note, transpose), kVelocity);
            sounding = false;
            lastTime = e.time;
        }
    }
    void level(const LevelEvent& e) { writeLevel(buf, *levels, e, sounding, i, lastTime); }
};

// PSG channel j: notes on channel 10 + j, re-struck whenever the period moves
// to another note; the bend-range block goes to channel 6 + j.
struct PsgTrack {
    TrackBuffer& buf;
    int j;
    int transpose = 0;                // semitones added to the notes written
    int ch = kFirstPsgNoteChannel + j;
    LevelFollower* levels = nullptr;  // levels mode only
    bool sounding = false;
    int note = 0;                     // before transposition: re-strikes are decided on it
    uint32_t lastTime = 0;

    void begin() {
        char name[16];
        std::snprintf(name, sizeof name, "PSG %02X", j);
        appendNames(buf, name);
        appendBendRange(buf, kFirstPsgList + j, kBendRangeSemitones);
    }
    void feed(const ChannelEvent& e) {
        EntryBytes out(buf);
        if (e.on != 0 && !sounding) {
            out.gap(e.time, lastTime);
            note = psgNoteOf(e.freq);
            const uint8_t velocity = noteOnVelocity(out, levels, ch);
            out.channelEvent(kMidiNoteOn, ch, transposeNote(note, transpose), velocity);
            sounding = true;
            lastTime = e.time;
        } else if (e.on != 0) {
            const int next = psgNoteOf(e.freq);
            if (next == note) return;
            out.gap(e.time, lastTime);
            out.channelEvent(kMidiNoteOff, ch, transposeNote(note, transpose), kVelocity);
            out.zeroDelta();
            const uint8_t velocity = noteOnVelocity(out, levels, ch);
            out.channelEvent(kMidiNoteOn, ch, transposeNote(next, transpose), velocity);
            note = next;
            lastTime = e.time;
        } else {
            out.gap(e.time, lastTime);
            out.channelEvent(kMidiNoteOff, ch, transposeNote(note, transpose), kVelocity);
            sounding = false;
            lastTime = e.time;
        }
    }
    void level(const LevelEvent& e) { writeLevel(buf, *levels, e, sounding, ch, lastTime); }
};

// Streams one track of list `list` through `track` (an FmTrack or PsgTrack):
// a hostile input can make a track several times larger than itself. With
// level events, each goes in just before the key event that followed it in
// the stream.
template <typename Track>
void writeTrack(MidiFileWriter& midi, TrackBuffer& buf, const ChannelEvents& events, EventSpill* spill, int list,
                Track track, LevelLists* levels, const LevelScale& scale) {
    midi.beginTrack(buf);
    track.begin();
    if (levels == nullptr) {
        forEachChannelEvent(events, spill, list, [&](const ChannelEvent& e) {
            track.feed(e);
            midi.spillTrack(buf);
        });
    } else {
        LevelFollower follower{&scale, list < kFirstPsgList};
        track.levels = &follower;
        LevelEventCursor cursor(*levels, list);
        const auto levelsUpTo = [&](uint64_t position) {
            for (const LevelEvent* lv = cursor.peek(); lv != nullptr && lv->position <= position; lv = cursor.peek()) {
                track.level(*lv);
                midi.spillTrack(buf);
                cursor.next();
            }
        };
        uint64_t position = 0;
        forEachChannelEvent(events, spill, list, [&](const ChannelEvent& e) {
            levelsUpTo(position++);
            track.feed(e);
            midi.spillTrack(buf);
        });
        levelsUpTo(UINT64_MAX);
    }
    appendEndOfTrack(buf, 0);
    midi.endTrack(buf);
}

}  // namespace

bool writeVgmMidi(const ChannelEvents& events, EventSpill* spill, OutputFile& file, LevelLists* levels,
                  const VgmMidiDrums* drums, int transpose) {
    MidiFileWriter midi(file);
    midi.writeHeader({kMidiFormatMultiTrack, static_cast<uint16_t>(kTrackCount + (drums != nullptr ? 1 : 0)), kDivision});
    TrackBuffer buf;  // one buffer for all tracks
    appendTempo(buf, 0, kMicrosecondsPerQuarter);
    appendEndOfTrack(buf, 0);
    midi.writeTrack(buf);

    // One lookup per FM event at most.
    uint64_t fmEvents = 0;
    for (int i = 0; i < kFmChannelCount; ++i) {
        fmEvents += events[static_cast<size_t>(i)].size();
        if (spill != nullptr)
            for (const SpilledEventBlock& b : spill->blocks[i]) fmEvents += b.count;
    }
    PitchBendCache bends(fmEvents);
    const LevelScale scale = levels != nullptr ? makeLevelScale() : LevelScale{};
    for (int i = 0; i < kFmChannelCount; ++i)
        writeTrack(midi, buf, events, spill, i, FmTrack{buf, bends, i, transpose}, levels, scale);
    for (int j = 0; j < kPsgChannelCount; ++j)
        writeTrack(midi, buf, events, spill, kFirstPsgList + j, PsgTrack{buf, j, transpose}, levels, scale);
    if (drums != nullptr) {
        midi.beginTrack(buf);
        appendNames(buf, "DAC");
        appendDacTrackEvents(midi, buf, drums->plays, drums->numbers);
        appendEndOfTrack(buf, 0);
        midi.endTrack(buf);
    }
    // Events of a spilled block that could not be read back are missing from the file.
    const bool eventsLost = (spill != nullptr && spill->file.readFailed()) ||
                            (levels != nullptr && levels->file.readFailed());
    return midi.ok() && !eventsLost;
}

bool writeVgmMidi(const ChannelEvents& events, OutputFile& file) { return writeVgmMidi(events, nullptr, file); }
