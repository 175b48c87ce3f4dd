#pragma once
// Plausibility checks of the two banks before any song is converted. A bank
// cut from the wrong place, the banks given in the wrong order, or the wrong
// pointer width (flag '3') all show as pointers that lead outside the file:
// counting those tells the user which file or flag is wrong, before the
// conversion turns them into hundreds of nonsense files.

#include <cstdint>
#include <cstdio>

struct SequenceBank;
struct InstrumentBank;

struct PointerCount {
    int32_t outside = 0;  // pointers whose bytes or target lie beyond the file
    int32_t total = 0;
};

// Over the song table (entry 0 / 2 entries, an odd value counting one more):
// each song-table entry and, for an entry that points inside the bank, each
// channel pointer of that song header, `pointerWidth` (2 or 3) bytes wide.
// A pointer is outside when its bytes are not all in the bank or its value is
// not below the bank's size.
PointerCount countSongPointers(const SequenceBank& bank, int pointerWidth);

// Over the instrument bank's table of (entry 0 / 2) 16-bit offsets: an offset
// is outside when its entry is not all in the file or its value is not below
// the file's size.
PointerCount countPatchOffsets(const InstrumentBank& bank);

// Prints the warnings on `out`, sequence bank first:
//   "Warning: the sequence bank holds no songs\n" or
//   "Warning: %d of %d song and channel pointers point outside the sequence bank"
//     + " (try without flag 3)" / " (try flag 3)" when the other width fits + "\n";
//   "Warning: the instrument bank holds no patches\n" or
//   "Warning: %d of %d patch offsets point outside the instrument bank\n".
// Nothing is printed for a bank whose pointers all lie inside.
void printBankWarnings(std::FILE* out, const SequenceBank& sequences, const InstrumentBank& instruments,
                       bool threeBytePointers);
