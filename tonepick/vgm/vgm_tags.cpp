#include "tonepick/vgm/vgm_tags.h"

#include <algorithm>
#include <vector>

#include "common/byte_order.h"
#include "tonepick/vgm/buffered_input.h"

namespace {

constexpr size_t kTagHeaderSize = 0x24;  // up to the loop length field
constexpr uint32_t kVgmIdent = 0x56676D20;  // "Vgm " read big-endian
constexpr uint32_t kGd3Ident = 0x47643320;  // "Gd3 " read big-endian
constexpr size_t kGd3OffsetField = 0x14;    // relative to itself
constexpr size_t kTotalSamplesField = 0x18;
constexpr size_t kLoopSamplesField = 0x20;
constexpr size_t kGd3HeadSize = 12;  // "Gd3 ", version, length
constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isHighSurrogate(uint16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(uint16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

bool decodeGd3Strings(const uint8_t* data, size_t size, std::array<std::string, kGd3FieldCount>& fields) {
    size_t at = 0;
    for (std::string& field : fields) {
        field.clear();
        bool terminated = false;
        while (at + 2 <= size) {
            const uint16_t unit = readLe16(data + at);
            at += 2;
            if (unit == 0) {
                terminated = true;
                break;
            }
            if (isHighSurrogate(unit) && at + 2 <= size && isLowSurrogate(readLe16(data + at))) {
                const uint16_t low = readLe16(data + at);
                at += 2;
                appendUtf8(field, 0x10000 + ((static_cast<char32_t>(unit - 0xD800) << 10) | (low - 0xDC00)));
            } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
                appendUtf8(field, kReplacement);
            } else {
                appendUtf8(field, unit);
            }
        }
        if (!terminated) {
            for (std::string& f : fields) f.clear();
            return false;
        }
    }
    return true;
}

VgmTags readVgmTags(BufferedInput& in) {
    VgmTags tags;
    uint8_t scratch[kTagHeaderSize];
    size_t got = 0;
    const uint8_t* h = readInputBytes(in, kTagHeaderSize, scratch, got);
    if (got < kTagHeaderSize || readBe32(h) != kVgmIdent) return tags;
    tags.isVgm = true;
    tags.totalSamples = readLe32(h + kTotalSamplesField);
    tags.loopSamples = readLe32(h + kLoopSamplesField);
    const uint32_t relative = readLe32(h + kGd3OffsetField);
    // The offset counts from its own field; 0 means no tag, and a tag cannot
    // overlap the fields just read.
    const uint64_t tagAt = kGd3OffsetField + static_cast<uint64_t>(relative);
    if (relative == 0 || tagAt < kTagHeaderSize) return tags;
    uint64_t toSkip = tagAt - kTagHeaderSize;
    while (toSkip > 0) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(toSkip, SIZE_MAX / 2));
        const size_t skipped = skipInputBytes(in, step);
        if (skipped == 0) return tags;
        toSkip -= skipped;
    }
    uint8_t head[kGd3HeadSize];
    const uint8_t* g = readInputBytes(in, kGd3HeadSize, head, got);
    if (got < kGd3HeadSize || readBe32(g) != kGd3Ident) return tags;
    const uint32_t length = readLe32(g + 8);
    if (length > kMaxGd3Bytes) return tags;
    std::vector<uint8_t> body(length);
    const uint8_t* b = readInputBytes(in, length, body.data(), got);
    if (got < length) return tags;
    tags.hasGd3 = decodeGd3Strings(b, length, tags.gd3);
    return tags;
}
