#include "builders/vgm_builder.h"

#include <cstddef>

#include "common/byte_order.h"

namespace {
constexpr size_t kHeaderSize = 0x100;
}

VgmBuilder::VgmBuilder(uint32_t version) : header_(kHeaderSize, 0), version_(version) {
    header_[0] = 'V';
    header_[1] = 'g';
    header_[2] = 'm';
    header_[3] = ' ';
    writeLe32(&header_[0x08], version);
    writeLe32(&header_[0x0C], 3579545);
    writeLe32(version >= 0x110 ? &header_[0x2C] : &header_[0x10], 7670454);
    if (version >= 0x150) writeLe32(&header_[0x34], kHeaderSize - 0x34);
}

VgmBuilder& VgmBuilder::psgClock(uint32_t hz) {
    writeLe32(&header_[0x0C], hz);
    return *this;
}

VgmBuilder& VgmBuilder::ym2612Clock(uint32_t hz) {
    writeLe32(version_ >= 0x110 ? &header_[0x2C] : &header_[0x10], hz);
    return *this;
}

VgmBuilder& VgmBuilder::ym(int port, int reg, int value) {
    commands_.push_back(port == 0 ? 0x52 : 0x53);
    commands_.push_back(static_cast<uint8_t>(reg));
    commands_.push_back(static_cast<uint8_t>(value));
    return *this;
}

VgmBuilder& VgmBuilder::psg(uint8_t data) { return raw({0x50, data}); }

VgmBuilder& VgmBuilder::wait(uint32_t samples) {
    while (samples > 0) {
        const uint32_t step = samples > 0xFFFF ? 0xFFFF : samples;
        commands_.push_back(0x61);
        appendLe16(commands_, static_cast<uint16_t>(step));
        samples -= step;
    }
    return *this;
}

VgmBuilder& VgmBuilder::dataBlock(uint8_t type, const std::vector<uint8_t>& data) {
    raw({0x67, 0x66, type});
    appendLe32(commands_, static_cast<uint32_t>(data.size()));
    return raw(data);
}

VgmBuilder& VgmBuilder::pcmSeek(uint32_t offset) {
    commands_.push_back(0xE0);
    appendLe32(commands_, offset);
    return *this;
}

VgmBuilder& VgmBuilder::pcmWrite(int waitSamples) {
    commands_.push_back(static_cast<uint8_t>(0x80 | (waitSamples & 0x0F)));
    return *this;
}

VgmBuilder& VgmBuilder::raw(std::initializer_list<uint8_t> bytes) {
    commands_.insert(commands_.end(), bytes);
    return *this;
}

VgmBuilder& VgmBuilder::raw(const std::vector<uint8_t>& bytes) {
    commands_.insert(commands_.end(), bytes.begin(), bytes.end());
    return *this;
}

VgmBuilder& VgmBuilder::end() { return raw({0x66}); }

VgmBuilder& VgmBuilder::keyOn(int ch, uint8_t mask) {
    // Register 0x28 numbers channels 0, 1, 2 and 4, 5, 6.
    const int code = ch < 3 ? ch : ch + 1;
    return ym(0, 0x28, (mask & 0xF0) | code);
}

VgmBuilder& VgmBuilder::keyOff(int ch) { return keyOn(ch, 0); }

VgmBuilder& VgmBuilder::frequency(int ch, int block, int fnum) {
    const int port = ch / 3;
    const int sub = ch % 3;
    ym(port, 0xA4 + sub, ((block & 7) << 3) | ((fnum >> 8) & 7));
    return ym(port, 0xA0 + sub, fnum & 0xFF);
}

std::vector<uint8_t> VgmBuilder::bytes() const {
    std::vector<uint8_t> out;
    if (version_ >= 0x150) {
        out = header_;
    } else {
        out.assign(header_.begin(), header_.begin() + 0x40);
    }
    out.insert(out.end(), commands_.begin(), commands_.end());
    writeLe32(&out[0x04], static_cast<uint32_t>(out.size() - 4));
    return out;
}
