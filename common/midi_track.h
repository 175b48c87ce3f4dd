#pragma once
// Building blocks of Standard MIDI File tracks, shared by both programs.
// A track is assembled completely in a TrackBuffer, because its chunk header
// carries the length of its data. No appender uses running status: every
// event carries its own status byte.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class OutputFile;

using TrackBuffer = std::vector<uint8_t>;

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

// The delta time before an event; the same bytes as appendVlq.
void appendDelta(TrackBuffer& buf, int32_t delta);

// A delta of any size that keeps its timing: while more than kMaxVlq ticks
// remain, writes the largest encodable delta carried by an empty text event
// (FF 01 00, which players ignore), then the rest as an ordinary delta.
void appendLongDelta(TrackBuffer& buf, int64_t delta);

// delta, FF, type, the text's length as one byte, the text's bytes.
void appendMetaText(TrackBuffer& buf, int32_t delta, uint8_t type, std::string_view text);

// Meta events 0x03 (track name) and 0x04 (instrument name) at delta 0.
void appendTrackName(TrackBuffer& buf, std::string_view text);
void appendInstrumentName(TrackBuffer& buf, std::string_view text);

// Pitch-bend sensitivity through registered parameter 0, sixteen bytes:
// 00 Bn 64 00, 00 Bn 65 00, 00 Bn 06 range, 00 Bn 64 7F (n = channel & 0x0F).
void appendBendRange(TrackBuffer& buf, int channel, uint8_t rangeSemitones);

// delta, FF 2F 00.
void appendEndOfTrack(TrackBuffer& buf, int32_t delta);

// "MTrk", the data length as 32-bit big-endian, the data.
void appendTrackChunk(std::vector<uint8_t>& out, const TrackBuffer& track);

// Writes the chunk of appendTrackChunk to file; false when fewer bytes were
// accepted than offered.
bool writeTrackChunk(OutputFile& file, const TrackBuffer& track);
