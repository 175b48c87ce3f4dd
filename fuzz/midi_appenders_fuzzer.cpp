// The shared MIDI appenders and the note conversions on arbitrary values:
// every appender's output must decode back to what was asked for (deltas
// negative ones 00, long deltas chained, texts cut to one length byte), and every
// conversion must stay in its range for any bit pattern.

#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/midi_track.h"
#include "tonepick/midi/note_conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    int32_t value;
    std::memcpy(&value, data, 4);  // host order is fine: any bit pattern is a valid input
    int64_t wide;
    std::memcpy(&wide, data, 8);

    TrackBuffer b;
    appendVlq(b, value);
    if (b.empty() || b.size() > 4) __builtin_trap();
    uint32_t decoded = 0;
    for (uint8_t byte : b) decoded = (decoded << 7) | (byte & 0x7Fu);
    const uint32_t expected = value <= 0 ? 0u : (value > kMaxVlq ? static_cast<uint32_t>(kMaxVlq) : static_cast<uint32_t>(value));
    if (decoded != expected) __builtin_trap();

    b.clear();
    if (wide >= 0 && wide < (int64_t{1} << 40)) {
        appendDelta(b, wide);
        // Sum the deltas of the chain back up.
        int64_t total = 0;
        size_t pos = 0;
        while (pos < b.size()) {
            uint32_t d = 0;
            while (b[pos] & 0x80) d = (d << 7) | (b[pos++] & 0x7F);
            d = (d << 7) | b[pos++];
            total += d;
            if (pos < b.size()) {
                if (b[pos] != 0xFF || b[pos + 1] != 0x01 || b[pos + 2] != 0x00) __builtin_trap();
                pos += 3;
            }
        }
        if (total != wide) __builtin_trap();
    }

    // Any int32 reaches the conversions: the higher bits must be ignored.
    const int note = ym2612NoteOf(value);
    if (note < 0 || note > 95) __builtin_trap();
    const int bend = pitchBendOf(value, note);
    if (bend < 0 || bend > 16383) __builtin_trap();
    const int anyBend = pitchBendOf(value, static_cast<int8_t>(data[4]));
    if (anyBend < 0 || anyBend > 16383) __builtin_trap();
    const int psg = psgNoteOf(value);
    if (psg < 33 || psg > 96) __builtin_trap();

    b.clear();
    const std::string_view text(reinterpret_cast<const char*>(data + 8), size - 8);
    // Deltas up to kMaxVlq take one variable-length quantity; longer ones chain.
    appendMetaText(b, value > kMaxVlq ? kMaxVlq : value, data[4], text);
    const size_t deltaBytes = b.size() - 3 - text.size();
    if (deltaBytes < 1 || deltaBytes > 4 || b[deltaBytes + 2] != static_cast<uint8_t>(text.size())) __builtin_trap();
    appendBendRange(b, value, data[5]);
    appendEndOfTrack(b, value);
    return 0;
}
