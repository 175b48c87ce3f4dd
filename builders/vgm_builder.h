#pragma once
// Composes VGM files for tests, the demo and the benchmarks in a line or two:
//   VgmBuilder v;  v.ym(0, 0x28, 0xF0).wait(100).end();  auto bytes = v.bytes();
// The header is a valid 0x100-byte VGM header of the chosen version; commands
// are appended in call order. Nothing is checked: tests may build broken files.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class VgmBuilder {
public:
    // Version 0x150 and later store a data offset at 0x34 (sound data at 0x100
    // here); older versions start their sound data at 0x40.
    explicit VgmBuilder(uint32_t version = 0x150);

    VgmBuilder& psgClock(uint32_t hz);     // header 0x0C
    VgmBuilder& ym2612Clock(uint32_t hz);  // header 0x2C (0x10 before version 1.10)

    VgmBuilder& ym(int port, int reg, int value);  // 0x52 / 0x53
    VgmBuilder& psg(uint8_t data);                 // 0x50
    VgmBuilder& wait(uint32_t samples);            // 0x61 commands, as many as needed
    VgmBuilder& dataBlock(uint8_t type, const std::vector<uint8_t>& data);  // 0x67 0x66 tt ssss
    VgmBuilder& pcmSeek(uint32_t offset);          // 0xE0
    VgmBuilder& pcmWrite(int waitSamples);         // 0x80 + wait (0..15)
    VgmBuilder& raw(std::initializer_list<uint8_t> bytes);
    VgmBuilder& raw(const std::vector<uint8_t>& bytes);
    VgmBuilder& end();                             // 0x66

    // Header length fields 0x18 (total samples) and 0x20 (loop samples).
    VgmBuilder& lengths(uint32_t totalSamples, uint32_t loopSamples);
    // A GD3 tag after the commands, its offset at 0x14: the eleven strings
    // (missing ones empty) given in UTF-8, stored as UTF-16LE.
    VgmBuilder& gd3(const std::vector<std::string>& fields);
    // The tag's bytes as given (for broken tags), placed the same way.
    VgmBuilder& gd3Bytes(const std::vector<uint8_t>& tag);

    // YM2612 helpers; ch is 0..5 (port = ch / 3).
    VgmBuilder& keyOn(int ch, uint8_t mask = 0xF0);  // register 0x28
    VgmBuilder& keyOff(int ch);
    VgmBuilder& frequency(int ch, int block, int fnum);  // A4 then A0

    // The whole file; the EOF offset at 0x04 is set to the final size - 4.
    std::vector<uint8_t> bytes() const;
    // Just the command bytes after the header.
    const std::vector<uint8_t>& commands() const { return commands_; }

private:
    std::vector<uint8_t> header_;
    std::vector<uint8_t> commands_;
    std::vector<uint8_t> gd3_;
    uint32_t version_;
};
