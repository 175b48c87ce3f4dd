#pragma once
// A pack run: every log of the inputs (folders, archives, playlists, logs)
// converted as a single run would, each into its own folder "NN Title", on
// several threads, then the pack folders built from all of them.

#include <string>
#include <vector>

#include "tonepick/tonepick_driver.h"

struct TonepickRun;

// Runs the pack with run.settings (output directory included). Standard
// output: each song's block in pack order, then the summary line. Returns 1
// when no song could be found (an input that cannot be read, or no log at
// all), 2 when a song's run or a pack file failed, else 0.
TonepickExit runPack(TonepickRun& run, const std::vector<std::string>& inputs);
