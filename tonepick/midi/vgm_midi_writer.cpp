#include "tonepick/midi/vgm_midi_writer.h"

#include <cstdio>
#include <vector>

#include "common/midi_track.h"
#include "common/output_files.h"
#include "tonepick/midi/note_conversion.h"

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kPitchBend = 0xE0;
constexpr uint8_t kVelocity = 0x7F;
constexpr uint8_t kBendRangeSemitones = 12;
constexpr int kBendCentre = 8192;
constexpr int kFirstPsgNoteChannel = 10;  // PSG notes skip channels 6..9
constexpr uint16_t kTrackCount = 11;

// "MThd", length 6, format 1, 11 tracks, 22050 ticks per quarter note.
constexpr uint8_t kHeaderChunk[14] = {'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06,
                                      0x00, 0x01, 0x00, kTrackCount, 0x56, 0x22};

// Tempo 500000 us per quarter note, so that 22050 ticks per quarter note make
// one tick per 44100 Hz sample.
constexpr uint8_t kTempoTrack[19] = {'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x0B, 0x00, 0xFF,
                                     0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00};

// Ticks between two event times. Times are the 32-bit sample clock, which
// wraps: the gap is their difference modulo 2^32, written in full however long.
void appendGap(TrackBuffer& buf, uint32_t time, uint32_t lastTime) {
    const uint32_t gap = time - lastTime;
    appendLongDelta(buf, static_cast<int64_t>(gap));
}

void appendChannelEvent(TrackBuffer& buf, uint8_t status, int channel, int data1, int data2) {
    buf.push_back(static_cast<uint8_t>(status | (channel & 0x0F)));
    buf.push_back(static_cast<uint8_t>(data1 & 0x7F));
    buf.push_back(static_cast<uint8_t>(data2 & 0x7F));
}

void appendBend(TrackBuffer& buf, int channel, int bend) {
    appendChannelEvent(buf, kPitchBend, channel, bend & 0x7F, (bend >> 7) & 0x7F);
}

void appendNames(TrackBuffer& buf, const char* text) {
    appendTrackName(buf, text);
    appendInstrumentName(buf, text);
}

// FM channel i: notes from the frequency word at key-on, then pitch bends that
// follow every frequency change under the held note (never a re-strike).
void buildFmTrack(TrackBuffer& buf, const std::vector<ChannelEvent>& list, int i) {
    char name[16];
    std::snprintf(name, sizeof name, "YM2612 %02X", i);
    appendNames(buf, name);
    appendBendRange(buf, i, kBendRangeSemitones);

    bool sounding = false;
    int note = 0;
    int lastBend = kBendCentre;  // kept across key-offs
    uint32_t lastTime = 0;
    for (const ChannelEvent& e : list) {
        if (e.on != 0 && !sounding) {
            appendGap(buf, e.time, lastTime);
            note = ym2612NoteOf(e.freq);
            const int bend = pitchBendOf(e.freq, note);
            if (bend != lastBend) {
                appendBend(buf, i, bend);
                appendDelta(buf, 0);
            }
            appendChannelEvent(buf, kNoteOn, i, note, kVelocity);
            lastBend = bend;
            sounding = true;
            lastTime = e.time;
        } else if (e.on != 0) {
            const int bend = pitchBendOf(e.freq, note);
            if (bend == lastBend) continue;
            appendGap(buf, e.time, lastTime);
            appendBend(buf, i, bend);
            lastBend = bend;
            lastTime = e.time;
        } else {
            // Written even for a silent channel, with the last note played.
            appendGap(buf, e.time, lastTime);
            appendChannelEvent(buf, kNoteOff, i, note, kVelocity);
            sounding = false;
            lastTime = e.time;
        }
    }
    appendEndOfTrack(buf, 0);
}

// PSG channel j: notes on channel 10 + j, re-struck whenever the period moves
// to another note; the bend-range block goes to channel 6 + j.
void buildPsgTrack(TrackBuffer& buf, const std::vector<ChannelEvent>& list, int j) {
    const int ch = kFirstPsgNoteChannel + j;
    char name[16];
    std::snprintf(name, sizeof name, "PSG %02X", j);
    appendNames(buf, name);
    appendBendRange(buf, kFirstPsgList + j, kBendRangeSemitones);

    bool sounding = false;
    int note = 0;
    uint32_t lastTime = 0;
    for (const ChannelEvent& e : list) {
        if (e.on != 0 && !sounding) {
            appendGap(buf, e.time, lastTime);
            note = psgNoteOf(e.freq);
            appendChannelEvent(buf, kNoteOn, ch, note, kVelocity);
            sounding = true;
            lastTime = e.time;
        } else if (e.on != 0) {
            const int next = psgNoteOf(e.freq);
            if (next == note) continue;
            appendGap(buf, e.time, lastTime);
            appendChannelEvent(buf, kNoteOff, ch, note, kVelocity);
            appendDelta(buf, 0);
            appendChannelEvent(buf, kNoteOn, ch, next, kVelocity);
            note = next;
            lastTime = e.time;
        } else {
            appendGap(buf, e.time, lastTime);
            appendChannelEvent(buf, kNoteOff, ch, note, kVelocity);
            sounding = false;
            lastTime = e.time;
        }
    }
    appendEndOfTrack(buf, 0);
}

}  // namespace

bool writeVgmMidi(const ChannelEvents& events, OutputFile& file) {
    bool ok = file.write(kHeaderChunk, sizeof kHeaderChunk) == sizeof kHeaderChunk;
    ok = file.write(kTempoTrack, sizeof kTempoTrack) == sizeof kTempoTrack && ok;

    TrackBuffer buf;  // one buffer for all tracks
    for (int i = 0; i < kFmChannelCount; ++i) {
        buf.clear();
        buildFmTrack(buf, events[i], i);
        ok = writeTrackChunk(file, buf) && ok;
    }
    for (int j = 0; j < kPsgChannelCount; ++j) {
        buf.clear();
        buildPsgTrack(buf, events[kFirstPsgList + j], j);
        ok = writeTrackChunk(file, buf) && ok;
    }
    return ok;
}
