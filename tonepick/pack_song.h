#pragma once
// One song of a pack: its log converted exactly as a single run would into the
// song's own folder, its messages kept for the song's block, and what the
// pack folders need afterwards.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tonepick/chips/patch_record.h"
#include "tonepick/pack/pack_inputs.h"

struct TonepickRun;
class OutputFileSystem;

// A sample of the song's kit, as its kit.txt lists it.
struct SongKitSample {
    std::string file;    // sample_NNN.wav in the song folder
    std::string rate;    // the columns of kit.txt, as written
    std::string bytes;
    std::string source;
    uint64_t plays = 0;
    uint64_t digest[2] = {0, 0};  // of the whole WAV file: same bytes at the same rate
    bool readable = false;        // the file could be read back
};

struct PackSongResult {
    size_t number = 0;          // from 1
    std::string folder;         // "NN Title"
    std::string folderPath;     // output_dir/folder
    std::string title;          // as in the folder name
    std::string game;           // from the GD3 tag, "" without
    std::string composer;
    uint32_t totalSamples = 0;  // from the header
    uint32_t loopSamples = 0;
    int status = 0;             // exit status of the song's run
    std::string messages;       // its block on standard output, heading included
    std::vector<PatchRecord> patches;        // the song's instruments, in order of first key-on
    std::vector<uint32_t> patchFirstHeard;   // their sampleTimes
    size_t samples = 0;                      // WAV files of the song
    std::vector<SongKitSample> kit;          // with -s kit
};

// What a worker is handed: the song and, for an archive entry, its bytes.
struct PackSongInput {
    const PackSong* song = nullptr;
    size_t number = 0;
    size_t songCount = 0;
    std::vector<uint8_t> bytes;  // an archive entry's bytes
    std::string loadError;       // message line when the entry could not be read
};

// Converts the song with the settings of `pack` (its output directory the
// pack's), creating files through `files`.
PackSongResult convertPackSong(const TonepickRun& pack, OutputFileSystem& files, PackSongInput& input);
