#pragma once
// Reads our output files back with readers nobody here wrote: mido for MIDI
// files, Python's wave module for WAV files, TiMidity++ to render MIDI files
// to audio (through the scripts in tests/tools). A test calls
// readersMissing()/rendererMissing() first and skips with the reason when the
// Debian packages are absent.

#include <cstdint>
#include <string>
#include <vector>

struct MidiTrackSummary {
    std::string name;
    int on = 0;      // note-ons with velocity > 0
    int off = 0;     // note-offs (or note-ons with velocity 0)
    int bends = 0;   // pitch wheel messages
    long end = -1;   // absolute tick of the end-of-track event
    std::string markers;  // "text@tick|text@tick"
    std::vector<int> keys;      // distinct note numbers of the note-ons, ascending
    std::vector<int> channels;  // distinct MIDI channels, ascending
    long tempo = -1;            // first tempo in microseconds per quarter note
};

struct MidiSummary {
    std::string path;
    int type = -1;
    int division = -1;
    double seconds = 0;
    std::vector<MidiTrackSummary> tracks;
};

struct WavSummary {
    std::string path;
    int channels = 0;
    int width = 0;  // bytes per sample
    long rate = 0;
    long frames = 0;
    long sum = 0;   // sum of all data bytes
};

struct RenderSummary {
    double seconds = 0;        // length of the rendered audio
    int peak = 0;              // largest absolute 16-bit sample
    double audibleUntil = 0;   // time of the last clearly audible sample
};

// Empty when /usr/bin/python3 with mido is there, else the reason to skip.
std::string readersMissing();
// Empty when timidity can render, else the reason to skip.
std::string rendererMissing();

// Summaries of the files, in the order given. Every refusal by the reader is
// added to `errors` ("error<TAB>path<TAB>reason" lines); empty when all read.
std::vector<MidiSummary> readMidiFiles(const std::vector<std::string>& paths, std::string& errors);
std::vector<WavSummary> readWavFiles(const std::vector<std::string>& paths, std::string& errors);
// Renders `midi` with scratch files in `scratchDir`; false with `error` set on failure.
bool renderMidi(const std::string& midi, const std::string& scratchDir, RenderSummary& result,
                std::string& error);

// Files in `dir` whose names end in `suffix`, sorted by name.
std::vector<std::string> filesEndingIn(const std::string& dir, const std::string& suffix);

// The path of fluidsynth; empty when it is not installed.
std::string fluidsynthPath();

// The loudest sample of each frame of a 16-bit PCM WAV file, as fluidsynth
// renders; `channels` 0 when the file has no format chunk.
std::vector<int> wavFramePeaks(const std::vector<uint8_t>& wav, int& channels);
