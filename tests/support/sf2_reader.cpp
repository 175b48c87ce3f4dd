#include "tests/support/sf2_reader.h"

#include "common/byte_order.h"

namespace {

std::string nameAt(const uint8_t* p) {
    std::string s;
    for (int i = 0; i < 20 && p[i] != 0; ++i) s += static_cast<char>(p[i]);
    return s;
}

// Zones of a bag range [first, next) with generators from `gen`.
std::vector<Sf2ReadZone> zonesOf(const std::vector<uint8_t>& bag, const std::vector<uint8_t>& gen, size_t first,
                                 size_t next, std::string& error) {
    std::vector<Sf2ReadZone> zones;
    for (size_t b = first; b < next; ++b) {
        if ((b + 2) * 4 > bag.size()) {
            error = "bag index out of range";
            return zones;
        }
        const size_t g0 = readLe16(bag.data() + b * 4), g1 = readLe16(bag.data() + (b + 1) * 4);
        Sf2ReadZone z;
        for (size_t g = g0; g < g1; ++g) {
            if ((g + 1) * 4 > gen.size()) {
                error = "generator index out of range";
                return zones;
            }
            z.generators.emplace_back(readLe16(gen.data() + g * 4), readLe16(gen.data() + g * 4 + 2));
        }
        zones.push_back(z);
    }
    return zones;
}

}  // namespace

Sf2File readSf2(const std::vector<uint8_t>& f) {
    Sf2File out;
    if (f.size() < 12 || std::string(f.begin(), f.begin() + 4) != "RIFF" ||
        std::string(f.begin() + 8, f.begin() + 12) != "sfbk") {
        out.error = "not a RIFF sfbk file";
        return out;
    }
    if (readLe32(f.data() + 4) + 8ull != f.size()) {
        out.error = "RIFF size " + std::to_string(readLe32(f.data() + 4)) + " for a file of " + std::to_string(f.size());
        return out;
    }
    for (size_t at = 12; at < f.size();) {
        if (at + 12 > f.size() || std::string(f.begin() + at, f.begin() + at + 4) != "LIST") {
            out.error = "expected a LIST at " + std::to_string(at);
            return out;
        }
        const size_t size = readLe32(f.data() + at + 4);
        const size_t end = at + 8 + size;
        if (end > f.size()) {
            out.error = "LIST past the end";
            return out;
        }
        const std::string type(f.begin() + at + 8, f.begin() + at + 12);
        out.topChunks.push_back("LIST " + type);
        for (size_t c = at + 12; c < end;) {
            if (c + 8 > end) {
                out.error = "chunk header past its list";
                return out;
            }
            const std::string id(f.begin() + c, f.begin() + c + 4);
            const size_t n = readLe32(f.data() + c + 4);
            if (c + 8 + n > end) {
                out.error = "chunk " + id + " past its list";
                return out;
            }
            const uint8_t* body = f.data() + c + 8;
            if (id == "ifil" && n == 4) {
                out.versionMajor = readLe16(body);
                out.versionMinor = readLe16(body + 2);
            } else if (id == "isng") {
                out.engine = std::string(reinterpret_cast<const char*>(body));
            } else if (id == "INAM") {
                out.name = std::string(reinterpret_cast<const char*>(body));
            } else if (id == "smpl") {
                for (size_t i = 0; i + 1 < n; i += 2) out.points.push_back(static_cast<int16_t>(readLe16(body + i)));
            } else if (type == "pdta") {
                out.pdta[id] = std::vector<uint8_t>(body, body + n);
            }
            c += 8 + n + (n % 2);
        }
        at = end;
    }
    const auto& phdr = out.pdta["phdr"];
    const auto& inst = out.pdta["inst"];
    const auto& shdr = out.pdta["shdr"];
    if (phdr.size() % 38 || inst.size() % 22 || shdr.size() % 46 || phdr.size() < 76 || inst.size() < 44 ||
        shdr.size() < 46 || out.pdta["pbag"].size() % 4 || out.pdta["ibag"].size() % 4 ||
        out.pdta["pgen"].size() % 4 || out.pdta["igen"].size() % 4 || out.pdta["pmod"].size() % 10 ||
        out.pdta["imod"].size() % 10) {
        out.error = "pdta list sizes";
        return out;
    }
    for (size_t i = 0; i + 1 < phdr.size() / 38; ++i) {
        const uint8_t* p = phdr.data() + i * 38;
        Sf2ReadPreset preset{nameAt(p), readLe16(p + 20), readLe16(p + 22), {}};
        preset.zones = zonesOf(out.pdta["pbag"], out.pdta["pgen"], readLe16(p + 24), readLe16(p + 38 + 24), out.error);
        out.presets.push_back(preset);
    }
    for (size_t i = 0; i + 1 < inst.size() / 22; ++i) {
        const uint8_t* p = inst.data() + i * 22;
        out.instruments.push_back(
            {nameAt(p), zonesOf(out.pdta["ibag"], out.pdta["igen"], readLe16(p + 20), readLe16(p + 22 + 20), out.error)});
    }
    for (size_t i = 0; i + 1 < shdr.size() / 46; ++i) {
        const uint8_t* p = shdr.data() + i * 46;
        Sf2ReadSample s;
        s.name = nameAt(p);
        s.start = readLe32(p + 20);
        s.end = readLe32(p + 24);
        s.loopStart = readLe32(p + 28);
        s.loopEnd = readLe32(p + 32);
        s.rate = readLe32(p + 36);
        s.originalPitch = p[40];
        s.correction = static_cast<int8_t>(p[41]);
        s.link = readLe16(p + 42);
        s.type = readLe16(p + 44);
        out.samples.push_back(s);
    }
    return out;
}
