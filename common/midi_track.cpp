#include "common/midi_track.h"

#include "common/byte_order.h"
#include "common/output_files.h"

void appendVlq(TrackBuffer& buf, int32_t value) {
    uint8_t bytes[kMaxVlqBytes];
    const uint8_t* end = putVlq(bytes, value);
    for (const uint8_t* p = bytes; p != end; ++p) buf.push_back(*p);
}

void appendDelta(TrackBuffer& buf, int32_t delta) { appendVlq(buf, delta); }

void appendLongDelta(TrackBuffer& buf, int64_t delta) {
    while (delta > kMaxVlq) {
        appendVlq(buf, static_cast<int32_t>(kMaxVlq));
        buf.insert(buf.end(), {0xFF, 0x01, 0x00});
        delta -= kMaxVlq;
    }
    appendVlq(buf, static_cast<int32_t>(delta));
}

void appendMetaText(TrackBuffer& buf, int32_t delta, uint8_t type, std::string_view text) {
    appendDelta(buf, delta);
    buf.push_back(0xFF);
    buf.push_back(type);
    buf.push_back(static_cast<uint8_t>(text.size()));
    buf.insert(buf.end(), text.begin(), text.end());
}

void appendTrackName(TrackBuffer& buf, std::string_view text) { appendMetaText(buf, 0, 0x03, text); }

void appendInstrumentName(TrackBuffer& buf, std::string_view text) { appendMetaText(buf, 0, 0x04, text); }

void appendBendRange(TrackBuffer& buf, int channel, uint8_t rangeSemitones) {
    // Registered parameter 0 (pitch-bend sensitivity): select it with
    // controllers 100/101, set it with data entry (6), then deselect by
    // setting controller 100 to 127.
    const uint8_t status = static_cast<uint8_t>(0xB0 | (channel & 0x0F));
    const uint8_t controls[4][2] = {{100, 0}, {101, 0}, {6, rangeSemitones}, {100, 127}};
    for (const auto& c : controls) buf.insert(buf.end(), {0x00, status, c[0], c[1]});
}

void appendEndOfTrack(TrackBuffer& buf, int32_t delta) {
    appendDelta(buf, delta);
    buf.insert(buf.end(), {0xFF, 0x2F, 0x00});
}

void appendTrackChunk(std::vector<uint8_t>& out, const TrackBuffer& track) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    appendBe32(out, static_cast<uint32_t>(track.size()));
    out.insert(out.end(), track.begin(), track.end());
}

bool writeTrackChunk(OutputFile& file, const TrackBuffer& track) {
    uint8_t head[8] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
    writeBe32(head + 4, static_cast<uint32_t>(track.size()));
    bool ok = file.write(head, sizeof head) == sizeof head;
    ok = file.write(track.data(), track.size()) == track.size() && ok;
    return ok;
}
