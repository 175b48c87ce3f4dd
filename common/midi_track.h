#pragma once
// Building blocks of Standard MIDI File tracks, shared by both programs.
// A track is assembled in a TrackBuffer, because its chunk header carries
// the length of its data. No appender uses running status: every event
// carries its own status byte.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

using TrackBuffer = std::vector<uint8_t>;

// Channel message status bytes; the low four bits carry the channel.
constexpr uint8_t kMidiNoteOff = 0x80;
constexpr uint8_t kMidiNoteOn = 0x90;
constexpr uint8_t kMidiControlChange = 0xB0;
constexpr uint8_t kMidiPitchBend = 0xE0;

// Controllers of the pitch-bend range (registered parameter 0).
constexpr uint8_t kMidiDataEntry = 6;
constexpr uint8_t kMidiRpnLsb = 100;
constexpr uint8_t kMidiRpnMsb = 101;
constexpr uint8_t kMidiRpnNull = 127;  // parameter LSB 127: no parameter selected

// Controllers of a channel's pan (0 left, 64 centre, 127 right) and
// expression (a volume within the note's, 127 full).
constexpr uint8_t kMidiPan = 10;
constexpr uint8_t kMidiExpression = 11;

// The 14-bit pitch-bend value: 8192 is no bend.
constexpr int32_t kMidiBendCentre = 8192;
constexpr int32_t kMidiBendMax = 16383;

// Meta events: FF, type, length, data.
constexpr uint8_t kMidiMeta = 0xFF;
constexpr uint8_t kMetaText = 0x01;
constexpr uint8_t kMetaTrackName = 0x03;
constexpr uint8_t kMetaInstrumentName = 0x04;
constexpr uint8_t kMetaMarker = 0x06;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaTempo = 0x51;

// Largest value a four-byte variable-length quantity can hold.
constexpr int64_t kMaxVlq = 0x0FFFFFFF;

// Longest variable-length quantity written.
constexpr size_t kMaxVlqBytes = 4;

// Writes value as a variable-length quantity at out (room for kMaxVlqBytes)
// and returns the end: 7-bit groups, most significant first, bit 7 set on all
// but the last byte. Values of 0 or less give 0x00; values above kMaxVlq are
// clamped so that at most four bytes are written. Inline: a track writes one
// before every event.
inline uint8_t* putVlq(uint8_t* out, int32_t value) {
    const uint32_t v = value <= 0 ? 0u : value > kMaxVlq ? static_cast<uint32_t>(kMaxVlq) : static_cast<uint32_t>(value);
    int shift = 21;
    while (shift > 0 && (v >> shift) == 0) shift -= 7;
    for (; shift > 0; shift -= 7) *out++ = static_cast<uint8_t>(((v >> shift) & 0x7F) | 0x80);
    *out++ = static_cast<uint8_t>(v & 0x7F);
    return out;
}

// Appends the bytes of putVlq.
void appendVlq(TrackBuffer& buf, int32_t value);

// The delta time before an event, of any size; a negative delta gives 00.
// While more than kMaxVlq ticks remain (2^28, a limit of the four-byte
// quantity), the largest encodable delta is written carried by an empty text
// event (FF 01 00, which players ignore), then the rest as an ordinary delta,
// so the timing is kept.
void appendDelta(TrackBuffer& buf, int64_t delta);

// delta, FF, type, the text's length as one byte, the text's bytes.
void appendMetaText(TrackBuffer& buf, int64_t delta, uint8_t type, std::string_view text);

// Meta events 0x03 (track name) and 0x04 (instrument name) at delta 0.
void appendTrackName(TrackBuffer& buf, std::string_view text);
void appendInstrumentName(TrackBuffer& buf, std::string_view text);

// delta, FF 51 03, microseconds per quarter note as 24 bits big-endian.
void appendTempo(TrackBuffer& buf, int64_t delta, uint32_t microsecondsPerQuarter);

// Pitch-bend sensitivity through registered parameter 0, sixteen bytes:
// 00 Bn 64 00, 00 Bn 65 00, 00 Bn 06 range, 00 Bn 64 7F (n = channel & 0x0F).
void appendBendRange(TrackBuffer& buf, int channel, uint8_t rangeSemitones);

// delta, FF 2F 00.
void appendEndOfTrack(TrackBuffer& buf, int64_t delta);
