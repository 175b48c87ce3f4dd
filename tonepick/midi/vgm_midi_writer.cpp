#include "tonepick/midi/vgm_midi_writer.h"

#include <cstdio>
#include <vector>

#include "common/byte_order.h"
#include "common/midi_track.h"
#include "common/output_files.h"
#include "tonepick/midi/note_conversion.h"
#include "tonepick/midi/pitch_bend_cache.h"

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

// The bytes of one event list entry, gathered and appended to the track in
// one go: per byte, a vector's push_back costs more than the rest of the work.
// An entry writes at most a gap, two three-byte events and a zero delta.
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
            appendLongDelta(buf_, static_cast<int64_t>(ticks));  // nothing gathered yet
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
    void bend(int channel, int value) { channelEvent(kPitchBend, channel, value & 0x7F, (value >> 7) & 0x7F); }

private:
    static constexpr size_t kMaxBytes = kMaxVlqBytes + 3 + 1 + 3;
    TrackBuffer& buf_;
    uint8_t bytes_[kMaxBytes];
    uint8_t* end_ = bytes_;
};

void appendNames(TrackBuffer& buf, const char* text) {
    appendTrackName(buf, text);
    appendInstrumentName(buf, text);
}

// A track is streamed to the file: its chunk header goes out with a
// placeholder length, the body in pieces of kFlushSize bytes as it is built,
// and the length is filled in at the end. A hostile input can make a track
// several times larger than itself, so it is never held in memory whole.
constexpr size_t kFlushSize = 1 << 20;

class TrackWriter {
public:
    TrackWriter(OutputFile& file, uint64_t& position, TrackBuffer& buf) : file_(file), position_(position), buf_(buf) {
        uint8_t head[8] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
        start_ = position_;
        put(head, sizeof head);
        buf_.clear();
    }
    TrackBuffer& buf() { return buf_; }
    // Called after each event: moves the body to the file once it is large.
    void spill() {
        if (buf_.size() >= kFlushSize) drain();
    }
    // Writes the rest of the body and the chunk's length; false when any
    // write of the track accepted fewer bytes than offered.
    bool finish() {
        drain();
        uint8_t length[4];
        writeBe32(length, static_cast<uint32_t>(bodySize_));  // wraps past 4 GiB, as the chunk field does
        ok_ = file_.seek(start_ + 4) && ok_;
        ok_ = file_.write(length, sizeof length) == sizeof length && ok_;
        ok_ = file_.seek(position_) && ok_;
        return ok_;
    }

private:
    void put(const uint8_t* data, size_t n) {
        if (n == 0) return;
        ok_ = file_.write(data, n) == n && ok_;
        position_ += n;
    }
    void drain() {
        put(buf_.data(), buf_.size());
        bodySize_ += buf_.size();
        buf_.clear();
    }
    OutputFile& file_;
    uint64_t& position_;
    TrackBuffer& buf_;
    uint64_t start_ = 0;
    uint64_t bodySize_ = 0;
    bool ok_ = true;
};

// FM channel i: notes from the frequency word at key-on, then pitch bends that
// follow every frequency change under the held note (never a re-strike).
struct FmTrack {
    TrackBuffer& buf;
    PitchBendCache& bends;
    int i;
    bool sounding = false;
    int note = 0;
    int lastBend = kBendCentre;  // kept across key-offs
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
            note = ym2612NoteOf(e.freq);
            const int bend = bends.bendOf(e.freq, note);
            if (bend != lastBend) {
                out.bend(i, bend);
                out.zeroDelta();
            }
            out.channelEvent(kNoteOn, i, note, kVelocity);
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
            out.channelEvent(kNoteOff, i, note, kVelocity);
            sounding = false;
            lastTime = e.time;
        }
    }
};

// PSG channel j: notes on channel 10 + j, re-struck whenever the period moves
// to another note; the bend-range block goes to channel 6 + j.
struct PsgTrack {
    TrackBuffer& buf;
    int j;
    int ch = kFirstPsgNoteChannel + j;
    bool sounding = false;
    int note = 0;
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
            out.channelEvent(kNoteOn, ch, note, kVelocity);
            sounding = true;
            lastTime = e.time;
        } else if (e.on != 0) {
            const int next = psgNoteOf(e.freq);
            if (next == note) return;
            out.gap(e.time, lastTime);
            out.channelEvent(kNoteOff, ch, note, kVelocity);
            out.zeroDelta();
            out.channelEvent(kNoteOn, ch, next, kVelocity);
            note = next;
            lastTime = e.time;
        } else {
            out.gap(e.time, lastTime);
            out.channelEvent(kNoteOff, ch, note, kVelocity);
            sounding = false;
            lastTime = e.time;
        }
    }
};

// Streams one track of list `list` through `track` (an FmTrack or PsgTrack).
template <typename Track>
bool writeTrack(OutputFile& file, uint64_t& position, TrackBuffer& buf, const ChannelEvents& events,
                EventSpill* spill, int list, Track track) {
    TrackWriter writer(file, position, buf);
    track.begin();
    forEachChannelEvent(events, spill, list, [&](const ChannelEvent& e) {
        track.feed(e);
        writer.spill();
    });
    appendEndOfTrack(buf, 0);
    return writer.finish();
}

}  // namespace

bool writeVgmMidi(const ChannelEvents& events, EventSpill* spill, OutputFile& file) {
    bool ok = file.write(kHeaderChunk, sizeof kHeaderChunk) == sizeof kHeaderChunk;
    ok = file.write(kTempoTrack, sizeof kTempoTrack) == sizeof kTempoTrack && ok;
    uint64_t position = sizeof kHeaderChunk + sizeof kTempoTrack;

    TrackBuffer buf;  // one buffer for all tracks
    // One lookup per FM event at most.
    uint64_t fmEvents = 0;
    for (int i = 0; i < kFmChannelCount; ++i) {
        fmEvents += events[static_cast<size_t>(i)].size();
        if (spill != nullptr)
            for (const SpilledEventBlock& b : spill->blocks[i]) fmEvents += b.count;
    }
    PitchBendCache bends(fmEvents);
    for (int i = 0; i < kFmChannelCount; ++i)
        ok = writeTrack(file, position, buf, events, spill, i, FmTrack{buf, bends, i}) && ok;
    for (int j = 0; j < kPsgChannelCount; ++j)
        ok = writeTrack(file, position, buf, events, spill, kFirstPsgList + j, PsgTrack{buf, j}) && ok;
    return ok;
}

bool writeVgmMidi(const ChannelEvents& events, OutputFile& file) { return writeVgmMidi(events, nullptr, file); }
