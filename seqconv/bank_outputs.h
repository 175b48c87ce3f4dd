#pragma once
// The files of -p and -d: the FM patches the songs use as instrument files,
// the samples they play as WAV files, an SFZ map per song and samples.txt.

#include <cstdint>
#include <string>

struct SeqconvRun;
struct SongLists;

// After a song's MIDI and text files: notes its FM patches and, with a sample
// bank, writes NNN.sfz (for a song with DAC keys) and notes its samples.
void noteSongBankUse(SeqconvRun& run, const std::string& outDir, int32_t song, const SongLists& lists);

// After the last song: one file per used FM patch (with -p/-pext), one WAV
// per used sample and samples.txt (with -d), then the warnings of both.
void writeBankFiles(SeqconvRun& run, const std::string& outDir);
