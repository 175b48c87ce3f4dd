#include "common/sf2_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/byte_order.h"
#include "common/output_files.h"

namespace {

// Generator numbers of SoundFont 2.01.
constexpr uint16_t kGenReleaseVolEnv = 38;
constexpr uint16_t kGenInstrument = 41;
constexpr uint16_t kGenKeyRange = 43;
constexpr uint16_t kGenSampleId = 53;
constexpr uint16_t kGenSampleModes = 54;
constexpr uint16_t kLoopContinuous = 1;
constexpr uint16_t kMonoSample = 1;
constexpr size_t kNameBytes = 20;
constexpr size_t kPieceBytes = 64 * 1024;

void appendTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// A fixed 20-byte name field: ASCII, zero-filled, at least one zero at the end.
void appendName(std::vector<uint8_t>& out, const std::string& name) {
    uint8_t field[kNameBytes] = {};
    const size_t n = std::min(name.size(), kNameBytes - 1);
    for (size_t i = 0; i < n; ++i) field[i] = static_cast<uint8_t>(name[i]) < 0x80 ? static_cast<uint8_t>(name[i]) : '_';
    out.insert(out.end(), field, field + kNameBytes);
}

void appendChunk(std::vector<uint8_t>& out, const char* tag, const std::vector<uint8_t>& body) {
    appendTag(out, tag);
    appendLe32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) out.push_back(0);
}

// A zero-terminated string chunk, padded to an even size.
void appendText(std::vector<uint8_t>& out, const char* tag, const std::string& text) {
    std::vector<uint8_t> body(text.begin(), text.end());
    body.push_back(0);
    if (body.size() % 2 != 0) body.push_back(0);
    appendChunk(out, tag, body);
}

void appendList(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& chunks) {
    appendTag(out, "LIST");
    appendLe32(out, static_cast<uint32_t>(4 + chunks.size()));
    appendTag(out, type);
    out.insert(out.end(), chunks.begin(), chunks.end());
}

void appendGenerator(std::vector<uint8_t>& out, uint16_t oper, uint16_t amount) {
    appendLe16(out, oper);
    appendLe16(out, amount);
}

void appendBag(std::vector<uint8_t>& out, size_t generator, size_t modulator) {
    appendLe16(out, static_cast<uint16_t>(generator));
    appendLe16(out, static_cast<uint16_t>(modulator));
}

// The nine lists of "pdta": one preset zone naming instrument 0, one
// instrument with the bank's zones, the sample headers; each list ends in
// its terminal record.
std::vector<uint8_t> hydra(const Sf2Bank& bank) {
    std::vector<uint8_t> phdr, pbag, pmod(10, 0), pgen, inst, ibag, imod(10, 0), igen, shdr;
    appendName(phdr, bank.presetName);
    appendLe16(phdr, bank.preset);
    appendLe16(phdr, bank.bank);
    appendLe16(phdr, 0);  // first bag
    appendLe32(phdr, 0);  // library, genre, morphology: reserved
    appendLe32(phdr, 0);
    appendLe32(phdr, 0);
    appendName(phdr, "EOP");
    appendLe16(phdr, 0);
    appendLe16(phdr, 0);
    appendLe16(phdr, 1);
    phdr.insert(phdr.end(), 12, 0);
    appendBag(pbag, 0, 0);
    appendBag(pbag, 1, 0);
    appendGenerator(pgen, kGenInstrument, 0);
    appendGenerator(pgen, 0, 0);

    appendName(inst, bank.presetName);
    appendLe16(inst, 0);
    for (const Sf2Zone& z : bank.zones) {
        appendBag(ibag, igen.size() / 4, 0);
        // The key range comes first and the sample last, as the format asks.
        appendGenerator(igen, kGenKeyRange, static_cast<uint16_t>(z.keyLow | (z.keyHigh << 8)));
        if (z.loop) appendGenerator(igen, kGenSampleModes, kLoopContinuous);
        if (z.releaseSeconds > 0)
            appendGenerator(igen, kGenReleaseVolEnv, static_cast<uint16_t>(sf2Timecents(z.releaseSeconds)));
        appendGenerator(igen, kGenSampleId, z.sample);
    }
    appendName(inst, "EOI");
    appendLe16(inst, static_cast<uint16_t>(bank.zones.size()));
    appendBag(ibag, igen.size() / 4, 0);
    appendGenerator(igen, 0, 0);

    uint32_t start = 0;
    for (const Sf2Sample& s : bank.samples) {
        appendName(shdr, s.name);
        const uint32_t end = start + s.frames;
        appendLe32(shdr, start);
        appendLe32(shdr, end);
        // Without a loop the loop points still lie inside the sample.
        appendLe32(shdr, s.hasLoop ? start + s.loopStart : start);
        appendLe32(shdr, s.hasLoop ? start + s.loopEnd : end);
        appendLe32(shdr, s.rate);
        shdr.push_back(s.originalPitch);
        shdr.push_back(0);  // pitch correction in cents
        appendLe16(shdr, 0);  // no linked sample
        appendLe16(shdr, kMonoSample);
        start = end + kSf2PadPoints;
    }
    appendName(shdr, "EOS");
    shdr.insert(shdr.end(), 26, 0);

    std::vector<uint8_t> chunks;
    appendChunk(chunks, "phdr", phdr);
    appendChunk(chunks, "pbag", pbag);
    appendChunk(chunks, "pmod", pmod);
    appendChunk(chunks, "pgen", pgen);
    appendChunk(chunks, "inst", inst);
    appendChunk(chunks, "ibag", ibag);
    appendChunk(chunks, "imod", imod);
    appendChunk(chunks, "igen", igen);
    appendChunk(chunks, "shdr", shdr);
    std::vector<uint8_t> list;
    appendList(list, "pdta", chunks);
    return list;
}

}  // namespace

int16_t sf2Timecents(double seconds) {
    if (!(seconds > 0)) return -12000;
    const double tc = std::ceil(1200.0 * std::log2(seconds));
    return static_cast<int16_t>(std::clamp(tc, -12000.0, 8000.0));
}

bool writeSf2(OutputFile& file, const Sf2Bank& bank, const Sf2SampleBytes& bytes) {
    uint64_t points = 0;
    for (const Sf2Sample& s : bank.samples) points += uint64_t{s.frames} + kSf2PadPoints;
    std::vector<uint8_t> info;
    std::vector<uint8_t> ifil;
    appendLe16(ifil, 2);
    appendLe16(ifil, 1);
    appendChunk(info, "ifil", ifil);
    appendText(info, "isng", "EMU8000");
    appendText(info, "INAM", bank.name);
    std::vector<uint8_t> infoList;
    appendList(infoList, "INFO", info);
    const std::vector<uint8_t> pdta = hydra(bank);
    const uint64_t smplBytes = points * 2;
    const uint64_t riffSize = 4 + infoList.size() + 12 + 8 + smplBytes + pdta.size();
    if (riffSize > UINT32_MAX || bank.zones.size() > UINT16_MAX) return false;

    std::vector<uint8_t> head;
    appendTag(head, "RIFF");
    appendLe32(head, static_cast<uint32_t>(riffSize));
    appendTag(head, "sfbk");
    head.insert(head.end(), infoList.begin(), infoList.end());
    appendTag(head, "LIST");
    appendLe32(head, static_cast<uint32_t>(4 + 8 + smplBytes));
    appendTag(head, "sdta");
    appendTag(head, "smpl");
    appendLe32(head, static_cast<uint32_t>(smplBytes));
    bool ok = file.write(head.data(), head.size()) == head.size();

    std::vector<uint8_t> piece;
    piece.reserve(kPieceBytes * 2);
    const auto flushPiece = [&] {
        ok = file.write(piece.data(), piece.size()) == piece.size() && ok;
        piece.clear();
    };
    const auto putPoints = [&](const uint8_t* data, size_t n, uint64_t& left) {
        for (size_t i = 0; i < n && left != 0; ++i, --left) {
            appendLe16(piece, static_cast<uint16_t>(sf2Point(data[i])));
            if (piece.size() >= kPieceBytes * 2) flushPiece();
        }
    };
    const uint8_t silence[kSf2PadPoints] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                            0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                            0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                            0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
    for (uint32_t i = 0; i < bank.samples.size(); ++i) {
        uint64_t left = bank.samples[i].frames;
        if (!bytes(i, [&](const uint8_t* data, size_t n) { putPoints(data, n, left); })) ok = false;
        if (left != 0) ok = false;
        while (left != 0) putPoints(silence, static_cast<size_t>(std::min<uint64_t>(left, kSf2PadPoints)), left);
        uint64_t pad = kSf2PadPoints;
        putPoints(silence, kSf2PadPoints, pad);
    }
    flushPiece();
    return file.write(pdta.data(), pdta.size()) == pdta.size() && ok;
}
