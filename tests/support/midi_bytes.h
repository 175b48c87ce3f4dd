#pragma once
// Expected MIDI files spelled out byte by byte, for the tests of both tools:
// the header, track chunks, meta texts and the opening of a note track.
// Written from the Standard MIDI File layout, not through common/midi_file.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace midi_bytes {

// The parts one after another, so that expected tracks read event by event.
inline std::vector<uint8_t> bytesOf(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Meta text event after `delta` ticks (track name 0x03, instrument name 0x04,
// marker 0x06); texts up to 127 bytes.
inline std::vector<uint8_t> metaText(uint8_t delta, uint8_t type, const std::string& text) {
    std::vector<uint8_t> out = {delta, 0xFF, type, static_cast<uint8_t>(text.size())};
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

// Track name and instrument name `name`, then the bend range of 12 semitones
// on `channel` (RPN 0 selected, data entry 12, RPN deselected with 0x7F).
inline std::vector<uint8_t> trackStart(const std::string& name, int channel) {
    const auto b = static_cast<uint8_t>(0xB0 | channel);
    return bytesOf({metaText(0, 0x03, name), metaText(0, 0x04, name),
                    {0, b, 0x64, 0, 0, b, 0x65, 0, 0, b, 0x06, 0x0C, 0, b, 0x64, 0x7F}});
}

// A whole format 1 file: the header with tracks.size() tracks and `division`
// ticks per quarter note, then one MTrk chunk per entry of `tracks`.
inline std::vector<uint8_t> midiFile(uint16_t division, const std::vector<std::vector<uint8_t>>& tracks) {
    const auto count = static_cast<uint16_t>(tracks.size());
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1,
                                 static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count),
                                 static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
    for (const auto& t : tracks) {
        const auto size = static_cast<uint32_t>(t.size());
        file.insert(file.end(), {'M', 'T', 'r', 'k', static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                                 static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)});
        file.insert(file.end(), t.begin(), t.end());
    }
    return file;
}

}  // namespace midi_bytes
