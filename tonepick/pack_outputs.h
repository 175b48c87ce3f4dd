#pragma once
// The pack folders, made after all songs: instruments/ with instruments.txt,
// kit/ with kit.txt (with -s kit) and songs.txt, all in the output directory.

#include <cstddef>
#include <vector>

#include "tonepick/pack_song.h"

struct TonepickRun;

struct PackFolderCounts {
    size_t instruments = 0;  // files in instruments/
    size_t samples = 0;      // files in kit/
};

// Writes the pack folders from the songs' results (in pack order) through
// run.files, reporting failures on run.out and in run.outputFailed.
PackFolderCounts writePackFolders(TonepickRun& run, const std::vector<PackSongResult>& songs);

// "m:ss" of a count of 44100 Hz samples (rounded down).
std::string minutesSeconds(uint64_t samples);
// "m:ss.mmm" of a sampleTime.
std::string minutesSecondsMillis(uint64_t samples);
