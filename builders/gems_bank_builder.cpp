#include "builders/gems_bank_builder.h"

#include <algorithm>

#include "common/byte_order.h"

namespace {
constexpr uint8_t kDelayBase = 0xC0;
constexpr uint8_t kDurationBase = 0x80;
constexpr uint32_t kGroupBits = 6;
constexpr uint32_t kGroupMask = 0x3F;

uint8_t byteOf(int value) { return static_cast<uint8_t>(value & 0xFF); }
}  // namespace

GemsChannelBuilder& GemsChannelBuilder::raw(std::initializer_list<uint8_t> bytes) {
    code_.insert(code_.end(), bytes.begin(), bytes.end());
    return *this;
}

GemsChannelBuilder& GemsChannelBuilder::raw(const std::vector<uint8_t>& bytes) {
    code_.insert(code_.end(), bytes.begin(), bytes.end());
    return *this;
}

GemsChannelBuilder& GemsChannelBuilder::groups(uint8_t base, uint32_t value) {
    // Most significant 6-bit group first; a value of 0 is one group.
    uint8_t digits[6];
    int count = 0;
    do {
        digits[count++] = static_cast<uint8_t>(value & kGroupMask);
        value >>= kGroupBits;
    } while (value != 0);
    while (count > 0) code_.push_back(static_cast<uint8_t>(base + digits[--count]));
    return *this;
}

GemsChannelBuilder& GemsChannelBuilder::note(int number) { return raw({byteOf(number)}); }
GemsChannelBuilder& GemsChannelBuilder::delay(uint32_t ticks) { return groups(kDelayBase, ticks); }
GemsChannelBuilder& GemsChannelBuilder::duration(uint32_t ticks) {
    return groups(kDurationBase, ticks);
}
GemsChannelBuilder& GemsChannelBuilder::eos() { return raw({0x60}); }
GemsChannelBuilder& GemsChannelBuilder::patch(int number) { return raw({0x61, byteOf(number)}); }
GemsChannelBuilder& GemsChannelBuilder::modulation(int value) {
    return raw({0x62, byteOf(value)});
}
GemsChannelBuilder& GemsChannelBuilder::nop() { return raw({0x63}); }
GemsChannelBuilder& GemsChannelBuilder::loop(int count) { return raw({0x64, byteOf(count)}); }
GemsChannelBuilder& GemsChannelBuilder::loopForever() { return loop(kGemsInfiniteLoopCount); }
GemsChannelBuilder& GemsChannelBuilder::eol() { return raw({0x65}); }
GemsChannelBuilder& GemsChannelBuilder::param(uint8_t command, int value) {
    return raw({command, byteOf(value)});
}
GemsChannelBuilder& GemsChannelBuilder::tempo(int value) { return raw({0x68, byteOf(value)}); }
GemsChannelBuilder& GemsChannelBuilder::priority(int value) { return raw({0x6A, byteOf(value)}); }
GemsChannelBuilder& GemsChannelBuilder::play(int song) { return raw({0x6B, byteOf(song)}); }
GemsChannelBuilder& GemsChannelBuilder::pitch(int value) {
    return raw({0x6C, byteOf(value), byteOf(value >> 8)});
}
GemsChannelBuilder& GemsChannelBuilder::sfx() { return raw({0x6D}); }
GemsChannelBuilder& GemsChannelBuilder::jmp(int target) {
    return raw({0x6F, byteOf(target), byteOf(target >> 8)});
}
GemsChannelBuilder& GemsChannelBuilder::set(int address, int value) {
    return raw({0x70, byteOf(address), byteOf(value)});
}
GemsChannelBuilder& GemsChannelBuilder::jmpUnknown(int a, int b, int c, int d) {
    return raw({0x71, byteOf(a), byteOf(b), byteOf(c), byteOf(d)});
}
GemsChannelBuilder& GemsChannelBuilder::command72(int sub, int value) {
    return raw({0x72, byteOf(sub), byteOf(value)});
}
GemsChannelBuilder& GemsChannelBuilder::volume(int value) { return command72(5, value); }

GemsChannelBuilder& GemsSongBuilder::channel() { return channels_.emplace_back(); }
GemsChannelBuilder& GemsSongBuilder::channel(size_t k) { return channels_.at(k); }

GemsSongBuilder& GemsBankBuilder::song() { return songs_.emplace_back(); }
GemsSongBuilder& GemsBankBuilder::song(size_t s) { return songs_.at(s); }

GemsBankBuilder& GemsBankBuilder::threeBytePointers(bool on) {
    threeBytePointers_ = on;
    return *this;
}

GemsBankBuilder& GemsBankBuilder::tablePadding(size_t bytes) {
    tablePadding_ = bytes;
    return *this;
}

GemsBankBuilder& GemsBankBuilder::codeAt(uint32_t offset) {
    codeAt_ = offset;
    return *this;
}

size_t GemsBankBuilder::headersStart() const { return 2 * songs_.size() + tablePadding_; }

uint32_t GemsBankBuilder::songHeaderOffset(size_t s) const {
    const size_t width = threeBytePointers_ ? 3 : 2;
    size_t offset = headersStart();
    for (size_t i = 0; i < s && i < songs_.size(); ++i)
        offset += 1 + width * songs_[i].channelCount();
    return static_cast<uint32_t>(offset);
}

size_t GemsBankBuilder::codeStart() const {
    return std::max<size_t>(songHeaderOffset(songs_.size()), codeAt_);
}

uint32_t GemsBankBuilder::channelOffset(size_t s, size_t k) const {
    size_t offset = codeStart();
    for (size_t i = 0; i < songs_.size(); ++i) {
        const GemsSongBuilder& song = songs_[i];
        for (size_t c = 0; c < song.channelCount(); ++c) {
            if (i == s && c == k) return static_cast<uint32_t>(offset);
            offset += song.channel(c).code().size();
        }
    }
    return static_cast<uint32_t>(offset);
}

std::vector<uint8_t> GemsBankBuilder::bytes() const {
    std::vector<uint8_t> out;
    for (size_t s = 0; s < songs_.size(); ++s)
        appendLe16(out, static_cast<uint16_t>(songHeaderOffset(s)));
    out.resize(headersStart(), 0);
    size_t pointer = codeStart();
    for (const GemsSongBuilder& song : songs_) {
        out.push_back(static_cast<uint8_t>(song.channelCount()));
        for (size_t k = 0; k < song.channelCount(); ++k) {
            out.push_back(static_cast<uint8_t>(pointer));
            out.push_back(static_cast<uint8_t>(pointer >> 8));
            if (threeBytePointers_) out.push_back(static_cast<uint8_t>(pointer >> 16));
            pointer += song.channel(k).code().size();
        }
    }
    out.resize(codeStart(), 0);
    for (const GemsSongBuilder& song : songs_) {
        for (size_t k = 0; k < song.channelCount(); ++k) {
            const std::vector<uint8_t>& code = song.channel(k).code();
            out.insert(out.end(), code.begin(), code.end());
        }
    }
    return out;
}

int GemsInstrumentBankBuilder::patch(uint8_t type, std::initializer_list<uint8_t> data) {
    std::vector<uint8_t> bytes{type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    // An FM patch (type 0) is a whole GEMS FM patch: zeros fill it up.
    constexpr size_t kFmPatchSize = 39;
    if (type == 0 && bytes.size() < kFmPatchSize) bytes.resize(kFmPatchSize, 0);
    patches_.push_back(std::move(bytes));
    return static_cast<int>(patches_.size() - 1);
}

uint16_t GemsInstrumentBankBuilder::patchOffset(int number) const {
    size_t offset = 2 * patches_.size();
    for (int p = 0; p < number && p < static_cast<int>(patches_.size()); ++p)
        offset += patches_[static_cast<size_t>(p)].size();
    return static_cast<uint16_t>(offset);
}

std::vector<uint8_t> GemsInstrumentBankBuilder::bytes() const {
    std::vector<uint8_t> out;
    for (size_t p = 0; p < patches_.size(); ++p)
        appendLe16(out, patchOffset(static_cast<int>(p)));
    for (const std::vector<uint8_t>& patch : patches_) out.insert(out.end(), patch.begin(), patch.end());
    return out;
}

void addNestedLoopChannel(GemsSongBuilder& song, int depth) {
    auto& ch = song.channel();
    ch.delay(1).duration(1);
    for (int i = 0; i < depth; ++i) ch.loop(0xFF);
    ch.note(0x30);
    for (int i = 0; i < depth; ++i) ch.eol();
    ch.eos();
}
