// Writes the seed corpora of the fuzz harnesses, one file per seed:
//   seed_writer <out_dir> [<examples_dir> [<shared_corpus_dir>]]
// into <out_dir>/tonepick, <out_dir>/seqconv and <out_dir>/midi_appenders.
// Seeds are small inputs that already reach deep into each program: built
// VGM files that key FM channels, stream DAC samples and drive the PSG, GEMS
// banks with loops, songs that start songs and pitch bends, the demo tune
// and (when present) the small real files beside the repository. Each seed
// carries the harness's own framing (see the harness sources).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "builders/gems_bank_builder.h"
#include "builders/vgm_builder.h"
#include "tests/support/gzip_writer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr size_t kLargestCorpusSeed = 256 * 1024;  // bigger real files slow the fuzzer down
constexpr int kFormatCount = 9;

bool writeFile(const fs::path& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

Bytes readFile(const fs::path& path) {
    Bytes bytes;
    std::FILE* f = std::fopen(path.string().c_str(), "rb");
    if (f == nullptr) return bytes;
    uint8_t chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(f);
    return bytes;
}

// tonepick harness framing: one option byte, then the VGM file.
Bytes tonepickSeed(uint8_t option, const Bytes& vgm) {
    Bytes seed{option};
    seed.insert(seed.end(), vgm.begin(), vgm.end());
    return seed;
}

// seqconv harness framing: flag bits, 16-bit instrument bank length, the
// instrument bank, the sequence bank.
Bytes seqconvSeed(uint8_t flags, const Bytes& instruments, const Bytes& sequences) {
    const size_t insSize = instruments.size() > 0xFFFF ? 0xFFFF : instruments.size();
    Bytes seed{flags, static_cast<uint8_t>(insSize), static_cast<uint8_t>(insSize >> 8)};
    seed.insert(seed.end(), instruments.begin(), instruments.begin() + static_cast<std::ptrdiff_t>(insSize));
    seed.insert(seed.end(), sequences.begin(), sequences.end());
    return seed;
}

// An FM voice on channel ch with distinct values in every operator register.
void voice(VgmBuilder& v, int ch, int seed) {
    const int port = ch / 3;
    const int c = ch % 3;
    for (int block = 0x30; block <= 0x90; block += 0x10)
        for (int op = 0; op < 4; ++op) v.ym(port, block + op * 4 + c, (seed * 13 + block + op * 7) & 0xFF);
    v.ym(port, 0xB0 + c, (seed * 5) & 0x3F).ym(port, 0xB4 + c, 0xC0);
}

std::vector<Bytes> builtVgmFiles() {
    std::vector<Bytes> files;
    {  // FM notes with vibrato on three channels, two instruments, a key-mask change
        VgmBuilder v;
        v.ym(0, 0x22, 0x08);
        for (int ch = 0; ch < 6; ++ch) voice(v, ch, ch % 2);
        for (int i = 0; i < 8; ++i) {
            const int ch = i % 6;
            v.frequency(ch, 4, 644 + 20 * i).keyOn(ch).wait(300);
            for (int k = 0; k < 4; ++k) v.ym(ch / 3, 0xA0 + ch % 3, (0x84 + 3 * k) & 0xFF).wait(50);
            v.keyOn(ch, 0x30).keyOff(ch).wait(100);
        }
        files.push_back(v.end().bytes());
    }
    {  // channel 3 special mode on both ports, odd registers
        VgmBuilder v;
        voice(v, 2, 3);
        v.ym(0, 0x27, 0x40).ym(0, 0xAD, 0x22).ym(0, 0xA9, 0x69).ym(1, 0xAC, 0x1A).ym(1, 0xA8, 0x10);
        v.ym(0, 0xAE, 0x12).ym(0, 0xAA, 0x34).keyOn(2, 0x90).wait(1000).keyOff(2);
        v.ym(0, 0x33, 1).ym(1, 0x10, 0x55).ym(1, 0xC4, 0x55).ym(0, 0x28, 0x07).ym(0, 0x21, 0);
        files.push_back(v.end().bytes());
    }
    {  // PSG tones and noise
        VgmBuilder v;
        v.psg(0x8E).psg(0x0F).psg(0x90).wait(500).psg(0x85).psg(0x12).wait(200).psg(0x9F);
        v.psg(0xA3).psg(0x08).psg(0xB2).psg(0xE4).psg(0x07).psg(0xF0).wait(400).psg(0xFF).psg(0xBF);
        files.push_back(v.end().bytes());
    }
    {  // DAC samples from a PCM block, with frame waits and overrides
        VgmBuilder v;
        Bytes pcm(64);
        for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(0x80 + (i * 37) % 64);
        v.dataBlock(0x00, pcm).dataBlock(0x01, {1, 2, 3});
        v.ym(0, 0x2B, 0x80).pcmSeek(0);
        for (int i = 0; i < 40; ++i) v.pcmWrite(i % 16);
        v.ym(0, 0x2B, 0x00).ym(0, 0x2A, 0x80).ym(0, 0x2B, 0x80).pcmSeek(60);
        for (int i = 0; i < 10; ++i) v.pcmWrite(1);
        v.raw({0x62, 0x63, 0x64, 0x62, 0x00, 0x01, 0x62, 0x70, 0x7F});
        files.push_back(v.end().bytes());
    }
    {  // version 1.60 stream control, PCM RAM write, unhandled commands
        VgmBuilder v(0x160);
        v.raw({0x90, 0x00, 0x02, 0x00, 0x2A, 0x91, 0x00, 0x00, 0x01, 0x00});
        v.raw({0x92, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x93, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        v.raw({0x94, 0x00, 0x95, 0x00, 0x00, 0x00, 0x00});
        v.raw({0x68, 0x66, 0x00, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0x4F, 0x00, 0xA0, 0x00, 0x00});
        files.push_back(v.end().bytes());
    }
    {  // old versions: 1.01 header (clock at 0x10, data at 0x40), a forged block size
        VgmBuilder v(0x101);
        v.ym2612Clock(7600489).psgClock(3546894).keyOn(0).wait(10).keyOff(0);
        v.raw({0x67, 0x66, 0x00, 0x00, 0x10, 0x00, 0x00, 1, 2, 3});
        files.push_back(v.bytes());
    }
    return files;
}

std::vector<Bytes> builtSequenceBanks() {
    std::vector<Bytes> banks;
    {  // two songs: notes, patches, a finite loop in an infinite loop, pitch, volume
        GemsBankBuilder b;
        auto& lead = b.song().channel();
        lead.tempo(80).patch(0).volume(10).delay(24).duration(12).note(0x3C).note(0x40);
        lead.loopForever().loop(3).delay(6).note(0x30).eol().pitch(0x100).note(0x31).eol().eos();
        auto& drum = b.song(0).channel();
        drum.patch(1).delay(12).duration(1).loopForever().note(0x24).note(0x26).eol().eos();
        auto& other = b.song().channel();
        other.priority(3).sfx().delay(48).note(0x2F).pitch(-300).command72(4, 20).command72(9, 1).eos();
        banks.push_back(b.bytes());
    }
    {  // songs that start songs, loop lengths 4 and 3 (aligned with flag c), unknown commands
        GemsBankBuilder b;
        auto& a = b.song().channel();
        a.play(1).delay(4).duration(2).loopForever().note(0x20).eol().eos();
        auto& c = b.song().channel();
        c.delay(3).duration(3).loopForever().note(0x22).eol().play(0).eos();
        auto& d = b.song().channel();
        d.raw({0x73, 0x7F}).jmp(0x10).set(1, 2).jmpUnknown(1, 2, 3, 4).param(0x66, 1).modulation(2).nop();
        d.raw({0xC1, 0xC5, 0x81, 0x85}).note(0x5F).loop(0).note(1).eol().eos();
        banks.push_back(b.bytes());
    }
    {  // three-byte pointers, code beyond 64 KiB
        GemsBankBuilder b;
        b.threeBytePointers().codeAt(0x10010);
        b.song().channel().delay(10).note(0x30).eos();
        banks.push_back(b.bytes());
    }
    return banks;
}

Bytes builtInstrumentBank() {
    GemsInstrumentBankBuilder ins;
    ins.patch(0, {0x32, 0x00, 0x71, 0x0D});
    ins.patch(1, {0x04, 0x01});
    ins.patch(2, {0x10});
    ins.patch(3, {0x05});
    ins.patch(7, {});
    return ins.bytes();
}

void addTonepickSeeds(const fs::path& dir, const fs::path& examples, const fs::path& corpus, int& count) {
    std::vector<Bytes> files = builtVgmFiles();
    const Bytes demo = readFile(examples / "demo.vgm");
    if (!demo.empty()) files.push_back(demo);
    if (fs::is_directory(corpus / "vgm")) {
        for (const auto& entry : fs::directory_iterator(corpus / "vgm")) {
            if (entry.path().extension() != ".vgm" || entry.file_size() > kLargestCorpusSeed) continue;
            files.push_back(readFile(entry.path()));
        }
    }
    // The built logs once more as .vgz: one member, and split in two members
    // with bytes after them, so the fuzzer starts inside the gzip reader.
    const size_t built = builtVgmFiles().size();
    for (size_t i = 0; i < built; ++i) {
        const Bytes vgm = files[i];
        files.push_back(gzipMember(vgm));
        const size_t half = vgm.size() / 2;
        Bytes two = gzipMember(Bytes(vgm.begin(), vgm.begin() + static_cast<std::ptrdiff_t>(half)), 1);
        const Bytes second = gzipMember(Bytes(vgm.begin() + static_cast<std::ptrdiff_t>(half), vgm.end()), 0);
        two.insert(two.end(), second.begin(), second.end());
        two.push_back('x');
        files.push_back(two);
    }
    // Spread the nine formats over the seeds; the option byte's high bits
    // choose the directory handling.
    for (size_t i = 0; i < files.size(); ++i) {
        const uint8_t option = static_cast<uint8_t>(i % kFormatCount);
        writeFile(dir / ("seed_" + std::to_string(count++)), tonepickSeed(option, files[i]));
    }
}

void addSeqconvSeeds(const fs::path& dir, const fs::path& corpus, int& count) {
    const Bytes instruments = builtInstrumentBank();
    const std::vector<Bytes> banks = builtSequenceBanks();
    const uint8_t flagWords[] = {0x00, 0x08, 0x04, 0x1F, 0x0C, 0x12};
    for (size_t i = 0; i < banks.size(); ++i) {
        uint8_t flags = flagWords[i % sizeof flagWords];
        if (i == 2) flags |= 0x01;  // the three-byte pointer bank
        writeFile(dir / ("seed_" + std::to_string(count++)), seqconvSeed(flags, instruments, banks[i]));
    }
    const Bytes realSequences = readFile(corpus / "gems" / "spinball_sequence_bank.bin");
    const Bytes realPatches = readFile(corpus / "gems" / "spinball_patch_bank.bin");
    if (!realSequences.empty() && !realPatches.empty()) {
        writeFile(dir / ("seed_" + std::to_string(count++)), seqconvSeed(0x0C, realPatches, realSequences));
    }
}

void addMidiSeeds(const fs::path& dir, int& count) {
    const std::vector<Bytes> seeds = {
        {0x7F, 0, 0, 0, 0, 0, 0, 0, 'P', 'S', 'G', ' ', '0', '0'},
        {0xFF, 0xFF, 0xFF, 0x0F, 0x01, 0x13, 0, 0, 'Y', 'M'},
        {0x00, 0x00, 0x00, 0x80, 0x03, 0x0C, 0x01, 0x00},
        {0x00, 0x40, 0x00, 0x00, 0x04, 0x7F, 0, 0},
    };
    for (const Bytes& seed : seeds) writeFile(dir / ("seed_" + std::to_string(count++)), seed);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: seed_writer <out_dir> [<examples_dir> [<shared_corpus_dir>]]\n");
        return 1;
    }
    const fs::path out = argv[1];
    const fs::path examples = argc > 2 ? fs::path(argv[2]) : fs::path();
    const fs::path corpus = argc > 3 ? fs::path(argv[3]) : fs::path();
    std::error_code ignored;
    for (const char* sub : {"tonepick", "seqconv", "midi_appenders"}) fs::create_directories(out / sub, ignored);

    int tonepick = 0, seqconv = 0, midi = 0;
    addTonepickSeeds(out / "tonepick", examples, corpus, tonepick);
    addSeqconvSeeds(out / "seqconv", corpus, seqconv);
    addMidiSeeds(out / "midi_appenders", midi);
    std::printf("seeds: %d tonepick, %d seqconv, %d midi_appenders\n", tonepick, seqconv, midi);
    return 0;
}
