#pragma once
// Refusal of files that are not GEMS banks. People mix up the files they cut
// out of a game: a VGM log, the sample bank, or the two banks swapped. Such a
// file, read as a bank, gives thousands of nonsense songs or patch listings
// and still "works". These checks look at the few bytes that tell a bank from
// the rest, before anything is created, and stop the run with one line per
// bank. They are loose enough that every real bank passes: only a clear
// majority of impossible entries refuses a bank.

#include <cstdint>
#include <cstdio>
#include <span>

enum class BankProblem {
    None,
    OtherKind,              // the file starts like another kind of file
    ImpossibleSongTable,    // sequence bank: the song table cannot be one
    SongsWithoutChannels,   // sequence bank: nearly every song has no channels
    EntriesWithoutPatch,    // instrument bank: many table entries lead to no patch
};

struct BankVerdict {
    BankProblem problem = BankProblem::None;
    const char* kind = nullptr;  // for OtherKind: "a VGM log", "gzip data", ...
    uint32_t bad = 0;            // songs without channels, or entries without a patch
    uint32_t total = 0;          // songs, or patch-table entries
};

// The kind of file `bytes` starts like ("a VGM log", "gzip data", "a WAV
// file", "a MIDI file", "a zip archive", "a Mega Drive ROM"); nullptr for none.
const char* otherFileKind(std::span<const uint8_t> bytes);

// The file read as a sequence bank: its kind, then its song table (the first
// 16-bit entry is the table's length; every entry is a song header offset,
// whose first byte is the song's channel count). A file shorter than 2 bytes
// or whose first entry is 0 holds no songs and passes.
BankVerdict checkSequenceBank(std::span<const uint8_t> file);

// The file read as an instrument bank: its kind, then its table of (first
// entry / 2) 16-bit patch offsets. An entry holds no patch when its two bytes
// are not both in the file, its offset is not below the file's size, the type
// byte there is above 3, or the patch is FM (type 0) and fewer than 39 bytes
// (a GEMS FM patch) lie before the next larger offset of the table or the end
// of the file. `file` may be cut after the first 65,792 bytes: no 16-bit
// offset reaches past them.
BankVerdict checkInstrumentBank(std::span<const uint8_t> file);

// Checks the instrument bank, then the sequence bank, prints one line for each
// that fails and, when a failed file would pass the other bank's checks,
// "The sequence and instrument banks may be swapped.". True when either failed.
bool refuseBanks(std::FILE* out, const char* sequencePath, std::span<const uint8_t> sequences,
                 const char* instrumentPath, std::span<const uint8_t> instruments);
