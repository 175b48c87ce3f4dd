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
    if (!gd3_.empty()) {
        writeLe32(&out[0x14], static_cast<uint32_t>(out.size() - 0x14));
        out.insert(out.end(), gd3_.begin(), gd3_.end());
    }
    writeLe32(&out[0x04], static_cast<uint32_t>(out.size() - 4));
    return out;
}

VgmBuilder& VgmBuilder::lengths(uint32_t totalSamples, uint32_t loopSamples) {
    writeLe32(&header_[0x18], totalSamples);
    writeLe32(&header_[0x20], loopSamples);
    return *this;
}

namespace {

// UTF-8 (assumed well formed) to UTF-16LE code units, surrogate pairs included.
void appendUtf16(std::vector<uint8_t>& out, const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<uint8_t>(text[i]);
        const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        uint32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1Fu) : extra == 2 ? (b & 0x0Fu) : (b & 0x07u);
        for (int k = 1; k <= extra && i + static_cast<size_t>(k) < text.size(); ++k)
            c = (c << 6) | (static_cast<uint8_t>(text[i + static_cast<size_t>(k)]) & 0x3Fu);
        i += static_cast<size_t>(extra) + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            appendLe16(out, static_cast<uint16_t>(0xD800 + (c >> 10)));
            appendLe16(out, static_cast<uint16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            appendLe16(out, static_cast<uint16_t>(c));
        }
    }
    appendLe16(out, 0);
}

}  // namespace

VgmBuilder& VgmBuilder::gd3(const std::vector<std::string>& fields) {
    std::vector<uint8_t> body;
    for (size_t i = 0; i < 11; ++i) appendUtf16(body, i < fields.size() ? fields[i] : std::string());
    std::vector<uint8_t> tag{'G', 'd', '3', ' '};
    appendLe32(tag, 0x100);
    appendLe32(tag, static_cast<uint32_t>(body.size()));
    tag.insert(tag.end(), body.begin(), body.end());
    return gd3Bytes(tag);
}

VgmBuilder& VgmBuilder::gd3Bytes(const std::vector<uint8_t>& tag) {
    gd3_ = tag;
    return *this;
}
