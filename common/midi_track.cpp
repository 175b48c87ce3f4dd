#include "common/midi_track.h"

#include "common/byte_order.h"

void appendVlq(TrackBuffer& buf, int32_t value) {
    uint8_t bytes[kMaxVlqBytes];
    const uint8_t* end = putVlq(bytes, value);
    for (const uint8_t* p = bytes; p != end; ++p) buf.push_back(*p);
}

void appendDelta(TrackBuffer& buf, int64_t delta) {
    while (delta > kMaxVlq) {
        appendVlq(buf, static_cast<int32_t>(kMaxVlq));
        buf.insert(buf.end(), {kMidiMeta, kMetaText, 0x00});
        delta -= kMaxVlq;
    }
    appendVlq(buf, delta < 0 ? 0 : static_cast<int32_t>(delta));
}

void appendMetaText(TrackBuffer& buf, int64_t delta, uint8_t type, std::string_view text) {
    appendDelta(buf, delta);
    buf.push_back(kMidiMeta);
    buf.push_back(type);
    buf.push_back(static_cast<uint8_t>(text.size()));
    buf.insert(buf.end(), text.begin(), text.end());
}

void appendTrackName(TrackBuffer& buf, std::string_view text) { appendMetaText(buf, 0, kMetaTrackName, text); }

void appendInstrumentName(TrackBuffer& buf, std::string_view text) {
    appendMetaText(buf, 0, kMetaInstrumentName, text);
}

void appendTempo(TrackBuffer& buf, int64_t delta, uint32_t microsecondsPerQuarter) {
    appendDelta(buf, delta);
    buf.insert(buf.end(), {kMidiMeta, kMetaTempo, 0x03});
    appendBe24(buf, microsecondsPerQuarter);
}

void appendBendRange(TrackBuffer& buf, int channel, uint8_t rangeSemitones) {
    // Select registered parameter 0 (pitch-bend sensitivity) with controllers
    // 100/101, set it with data entry, then deselect by setting controller
    // 100 to 127.
    const uint8_t status = static_cast<uint8_t>(kMidiControlChange | (channel & 0x0F));
    const uint8_t controls[4][2] = {
        {kMidiRpnLsb, 0}, {kMidiRpnMsb, 0}, {kMidiDataEntry, rangeSemitones}, {kMidiRpnLsb, kMidiRpnNull}};
    for (const auto& c : controls) buf.insert(buf.end(), {0x00, status, c[0], c[1]});
}

void appendEndOfTrack(TrackBuffer& buf, int64_t delta) {
    appendDelta(buf, delta);
    buf.insert(buf.end(), {kMidiMeta, kMetaEndOfTrack, 0x00});
}
