#pragma once
// Everything one tonepick run knows, in one object owned by main (or by a test
// or fuzzer) and passed by reference: no mutable globals.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/output_directory.h"
#include "common/output_files.h"
#include "tonepick/chips/channel_event.h"
#include "tonepick/chips/dac_capture.h"
#include "tonepick/chips/dac_kit.h"
#include "tonepick/chips/event_spill.h"
#include "tonepick/chips/level_events.h"
#include "tonepick/chips/sn76489.h"
#include "tonepick/chips/ym2612.h"
#include "tonepick/instruments/patch_list.h"
#include "tonepick/midi/level_controllers.h"
#include "tonepick/vgm/stream_state.h"
#include "tonepick/vgm/vgm_reader.h"

struct TonepickSettings {
    int formatIndex = 0;         // instrument format, see instrument_formats.h
    std::string patchExtension;  // extension of the instrument files
    std::string outputDir;       // second argument, unchanged
    std::string inputPath;       // first argument, unchanged (for messages)
    bool sampleKit = false;      // -s kit: one WAV per distinct sample and a DAC drum track
    bool uniqueInstruments = false;  // -i unique: no two instrument files alike
    VgmMidiMode midiMode = VgmMidiMode::kPlain;  // -m: what vgm.mid carries besides notes and bends
    int transpose = 0;           // -t: semitones added to the FM and PSG notes of vgm.mid
    int threads = 0;             // -j: songs of a pack converted at once, 0: one per core
};

struct TonepickRun {
    FILE* out = stdout;                     // every message goes here
    OutputFileSystem* files = nullptr;      // where output files are created
    TonepickSettings settings;
    VgmReader reader;
    StreamState stream;
    Ym2612State ym;
    DacCapture dac;
    DacKit kit;                   // with -s kit
    PsgState psg;
    PatchList patches;
    ChannelEvents channelEvents;  // the most recent events of each list
    EventSpill eventSpill;        // older events of long lists (see event_spill.h)
    LevelLists levelEvents;       // the channels' levels, recorded with -m levels only
    OutputDirectoryState outputDirState;  // made once, before the first WAV file, else after the walk
    bool outputFailed = false;    // an output file or the output directory could not be made or written whole
    FILE* progress = nullptr;     // a terminal for the progress line of a pack run, or none
    // For a pack run, which gathers the instruments of all its songs: the
    // sampleTime of the latest YM2612 write, and the time each patch of
    // `patches` was first keyed on, by index.
    uint32_t chipTime = 0;
    std::vector<uint32_t> patchFirstHeard;
};
