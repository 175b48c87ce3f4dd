#include "tests/support/midi_dump.h"

#include <cstdio>

#include "common/byte_order.h"

namespace {

std::string hex2(uint8_t b) {
    char s[4];
    std::snprintf(s, sizeof s, "%02X", b);
    return s;
}

// Bytes of the event that starts at data[pos] with the given status (no running status).
size_t eventLength(const std::vector<uint8_t>& data, size_t pos) {
    const uint8_t status = data[pos];
    if (status == 0xFF) {
        if (pos + 2 >= data.size()) return data.size() - pos;
        return 3 + data[pos + 2];  // one-byte length, as this project writes it
    }
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

std::string hexBytes(const std::vector<uint8_t>& bytes) {
    std::string s;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += hex2(bytes[i]);
    }
    return s;
}

std::string dumpTrackData(const std::vector<uint8_t>& data) {
    std::string out;
    size_t pos = 0;
    while (pos < data.size()) {
        uint32_t delta = 0;
        int groups = 0;
        while (pos < data.size() && groups < 5) {
            const uint8_t b = data[pos++];
            delta = (delta << 7) | (b & 0x7F);
            ++groups;
            if (!(b & 0x80)) break;
        }
        if (pos >= data.size()) {
            out += "<truncated after delta>\n";
            break;
        }
        size_t len = eventLength(data, pos);
        if (pos + len > data.size()) len = data.size() - pos;
        out += std::to_string(delta) + ":";
        for (size_t i = 0; i < len; ++i) out += " " + hex2(data[pos + i]);
        out += "\n";
        pos += len;
    }
    return out;
}

std::string dumpMidiFile(const std::vector<uint8_t>& file) {
    std::string out;
    size_t pos = 0;
    while (pos + 8 <= file.size()) {
        const std::string id(file.begin() + static_cast<long>(pos), file.begin() + static_cast<long>(pos) + 4);
        const uint32_t len = readBe32(&file[pos + 4]);
        pos += 8;
        const size_t avail = file.size() - pos;
        const size_t take = len > avail ? avail : len;
        std::vector<uint8_t> body(file.begin() + static_cast<long>(pos),
                                  file.begin() + static_cast<long>(pos + take));
        out += id + " length " + std::to_string(len) + (take < len ? " (truncated)" : "") + "\n";
        if (id == "MThd") {
            out += "  " + hexBytes(body) + "\n";
        } else {
            out += dumpTrackData(body);
        }
        pos += take;
    }
    if (pos != file.size()) out += "<" + std::to_string(file.size() - pos) + " trailing bytes>\n";
    return out;
}
