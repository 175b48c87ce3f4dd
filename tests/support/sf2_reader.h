#pragma once
// Reads a SoundFont 2 file back for the tests, from the format's layout (not
// through common/sf2_writer): the RIFF tree, the INFO texts, the 16-bit
// points and the records of the nine "pdta" lists. Malformed input gives
// `error` and no crash.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct Sf2ReadSample {
    std::string name;
    uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0, rate = 0;
    uint8_t originalPitch = 0;
    int8_t correction = 0;
    uint16_t link = 0, type = 0;
};

struct Sf2ReadZone {
    std::vector<std::pair<uint16_t, uint16_t>> generators;  // operator, amount, in file order
};

struct Sf2ReadPreset {
    std::string name;
    uint16_t preset = 0, bank = 0;
    std::vector<Sf2ReadZone> zones;
};

struct Sf2ReadInstrument {
    std::string name;
    std::vector<Sf2ReadZone> zones;
};

struct Sf2File {
    std::string error;  // empty when the file was read whole
    std::vector<std::string> topChunks;  // "LIST INFO", "LIST sdta", "LIST pdta", in order
    uint16_t versionMajor = 0, versionMinor = 0;
    std::string engine, name;  // isng, INAM
    std::vector<int16_t> points;
    std::vector<Sf2ReadPreset> presets;          // without the terminal record
    std::vector<Sf2ReadInstrument> instruments;  // without the terminal record
    std::vector<Sf2ReadSample> samples;          // without the terminal record
    std::map<std::string, std::vector<uint8_t>> pdta;  // raw bodies of the nine lists
};

Sf2File readSf2(const std::vector<uint8_t>& file);
