#pragma once
// Human-readable dumps of MIDI bytes, so that a byte-level test failure shows
// which event differs: one line per event, "delta: status data...".

#include <cstdint>
#include <string>
#include <vector>

// Dumps the events of one track's data (without the MTrk header).
std::string dumpTrackData(const std::vector<uint8_t>& data);

// Dumps a whole Standard MIDI File: the header fields, then every chunk with
// its events. Malformed input is reported in the dump, never read past.
std::string dumpMidiFile(const std::vector<uint8_t>& file);

// Hex bytes separated by spaces, e.g. "4D 54 68 64".
std::string hexBytes(const std::vector<uint8_t>& bytes);
