#pragma once
// Composes GEMS sequence banks and instrument banks for tests in a few lines:
//   GemsBankBuilder b;
//   b.song().channel().patch(2).delay(24).duration(12).note(0x3C).eos();
//   std::vector<uint8_t> bank = b.bytes();
// Layout of bytes(): the song table (2 bytes per song), optional padding, the
// song headers (channel count + 2- or 3-byte channel pointers) in song order,
// optional padding, then every channel's byte code in song and channel order.
// Nothing is checked: tests may build broken banks and patch bytes() freely.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <vector>

constexpr uint8_t kGemsInfiniteLoopCount = 0x7F;

// The byte code of one channel, one call per command.
class GemsChannelBuilder {
public:
    GemsChannelBuilder& raw(std::initializer_list<uint8_t> bytes);
    GemsChannelBuilder& raw(const std::vector<uint8_t>& bytes);

    GemsChannelBuilder& note(int number);         // 0x00..0x5F
    // Delay / duration as 6-bit groups, most significant first (69 -> C1 C5).
    // Two calls in a row of the same kind continue each other in the driver.
    GemsChannelBuilder& delay(uint32_t ticks);     // 0xC0..0xFF
    GemsChannelBuilder& duration(uint32_t ticks);  // 0x80..0xBF

    GemsChannelBuilder& eos();                     // 60
    GemsChannelBuilder& patch(int number);         // 61 p
    GemsChannelBuilder& modulation(int value);     // 62 v
    GemsChannelBuilder& nop();                     // 63
    GemsChannelBuilder& loop(int count);           // 64 count (0x7F: forever)
    GemsChannelBuilder& loopForever();             // 64 7F
    GemsChannelBuilder& eol();                     // 65
    GemsChannelBuilder& param(uint8_t command, int value);  // 66/67/69/6E v
    GemsChannelBuilder& tempo(int value);          // 68 v (tempo v + 40)
    GemsChannelBuilder& priority(int value);       // 6A v
    GemsChannelBuilder& play(int song);            // 6B n
    GemsChannelBuilder& pitch(int value);          // 6C lo hi (value as 16 bits)
    GemsChannelBuilder& sfx();                     // 6D
    GemsChannelBuilder& jmp(int target);           // 6F lo hi
    GemsChannelBuilder& set(int address, int value);         // 70 a v
    GemsChannelBuilder& jmpUnknown(int a, int b, int c, int d);  // 71 a b c d
    GemsChannelBuilder& command72(int sub, int value);       // 72 sub v
    GemsChannelBuilder& volume(int value);         // 72 05 v

    const std::vector<uint8_t>& code() const { return code_; }

private:
    GemsChannelBuilder& groups(uint8_t base, uint32_t value);
    std::vector<uint8_t> code_;
};

class GemsSongBuilder {
public:
    GemsChannelBuilder& channel();          // appends a new channel
    GemsChannelBuilder& channel(size_t k);  // an existing channel
    const GemsChannelBuilder& channel(size_t k) const { return channels_.at(k); }
    size_t channelCount() const { return channels_.size(); }

private:
    std::deque<GemsChannelBuilder> channels_;  // deque: references stay valid
};

class GemsBankBuilder {
public:
    GemsSongBuilder& song();          // appends a new song
    GemsSongBuilder& song(size_t s);  // an existing song
    size_t songCount() const { return songs_.size(); }

    GemsBankBuilder& threeBytePointers(bool on = true);
    // Zero bytes between the song table and the first header (raises entry 0).
    GemsBankBuilder& tablePadding(size_t bytes);
    // Places the first channel's byte code at `offset` or later (zero-filled gap),
    // e.g. beyond 64 KiB to exercise 3-byte pointers.
    GemsBankBuilder& codeAt(uint32_t offset);

    std::vector<uint8_t> bytes() const;
    uint32_t songHeaderOffset(size_t s) const;
    uint32_t channelOffset(size_t s, size_t k) const;

private:
    size_t headersStart() const;
    size_t codeStart() const;
    std::deque<GemsSongBuilder> songs_;
    bool threeBytePointers_ = false;
    size_t tablePadding_ = 0;
    uint32_t codeAt_ = 0;
};

// Appends to `song` one channel of a one-tick note inside `depth` nested
// finite loops of 255 repetitions: 255^depth notes unless a bound stops it.
void addNestedLoopChannel(GemsSongBuilder& song, int depth);

// An instrument bank: a table of 16-bit little-endian patch offsets (one per
// patch), then each patch's type byte and data in order.
class GemsInstrumentBankBuilder {
public:
    // Appends a patch (type byte then `data`, an FM patch (type 0) filled up
    // with zeros to the 39 bytes of a GEMS FM patch); returns its number.
    int patch(uint8_t type, std::initializer_list<uint8_t> data = {});
    uint16_t patchOffset(int number) const;
    std::vector<uint8_t> bytes() const;

private:
    std::vector<std::vector<uint8_t>> patches_;
};
