#pragma once
// The listings of a song's text file: which instrument bank patches the MIDI
// file uses, and which (sample patch, note) pair each DAC key stands for.

#include <cstdint>
#include <vector>

#include "seqconv/output/instrument_bank.h"

class OutputFile;

// Filled while the song's MIDI file is written, read by the listings; the
// caller empties them for every song.
struct SongLists {
    std::vector<int32_t> usedPatches;  // patch numbers in order of first note
    std::vector<int32_t> dacKeys;      // patch * 256 + note; position = DAC index

    void clear() {
        usedPatches.clear();
        dacKeys.clear();
    }
};

// One line per entry of lists.usedPatches ("Patch %02X (%s):" and the first
// five bytes of the patch data), then one per entry of lists.dacKeys
// ("DAC (%d) %02X %02X"). Reads nothing outside the instrument bank.
void writeListings(const InstrumentBank& instruments, const SongLists& lists, OutputFile& text);
