#pragma once
// The GEMS demo for seqconv: a sequence bank of three songs and the instrument
// bank they play, written from the score below by integer arithmetic only, so
// every platform makes the same bytes as the committed
// examples/demo_sequences.bin and examples/demo_instruments.bin.
//
//   song 0  theme, 4/4 at 120 bpm: a one-bar intro, then five infinite loops of
//           192, 96, 48, 144 and 24 ticks (FM lead, FM bass, DAC drums, PSG
//           arpeggio, noise hi-hat) that all line up again after 576 ticks; its
//           first command starts song 2 (heard only with flag s).
//   song 1  waltz, 3/4 at 140 bpm: FM melody with a pitch slide (loop of 144
//           ticks) over a PSG bass (loop of 72 ticks).
//   song 2  fanfare at 120 bpm: an FM pad figure in a finite loop (three times)
//           and a PSG arpeggio; no infinite loop, so it ends.
//
// Times are byte-code ticks, 24 to the quarter note as seqconv writes them.

#include <cstdint>
#include <vector>

// Patch numbers of the instrument bank and the GEMS patch type of each.
enum DemoPatch : int {
    kDemoPatchLead = 0,    // FM
    kDemoPatchBass = 1,    // FM
    kDemoPatchPad = 2,     // FM
    kDemoPatchTone = 3,    // PSG tone
    kDemoPatchNoise = 4,   // PSG noise
    kDemoPatchDrums = 5,   // DAC samples: key 0x24 kick, 0x26 snare
    kDemoPatchCount = 6,
};
constexpr uint8_t kGemsPatchFm = 0;
constexpr uint8_t kGemsPatchDac = 1;
constexpr uint8_t kGemsPatchPsg = 2;
constexpr uint8_t kGemsPatchNoise = 3;
uint8_t demoPatchType(int patch);

constexpr int kDemoSongCount = 3;
constexpr int kDemoForever = -1;  // repeat count of an infinite loop

struct DemoEvent {
    int32_t time;    // ticks from the start of its segment
    int32_t length;  // ticks a note sounds (0 for a pitch change)
    int key;         // byte-code note number 0..95; -1 for a pitch change
    int pitch;       // pitch change in 1/256 semitones (key -1 only)
};

// A stretch of one channel: played once, as a finite loop, or as an infinite loop.
struct DemoSegment {
    int32_t length;                 // ticks one run of the segment takes
    int repeat;                     // 1: once; 2 or more: finite loop; kDemoForever: infinite loop
    std::vector<DemoEvent> events;  // in time order, all before `length`
};

// One channel of one song, in channel order within the song.
struct DemoPart {
    int song;
    int patch;
    int volume;      // GEMS attenuation, 0 the loudest
    int tempo;       // beats per minute set at the start; 0: no tempo command
    int startsSong;  // song started by a "play" command at the start; -1: none
    std::vector<DemoSegment> segments;
};

std::vector<DemoPart> demoBankParts();

std::vector<uint8_t> buildDemoSequenceBank();
std::vector<uint8_t> buildDemoInstrumentBank();
