#include "seqconv/bank_files/sample_uses.h"

#include <cstdio>

#include "common/instrument_formats/wav_file.h"

namespace {

void appendList(std::string& line, const std::string& item) {
    if (!line.empty()) line += ", ";
    line += item;
}

std::string songList(const std::vector<int32_t>& songs) {
    std::string list;
    char number[16];
    for (const int32_t song : songs) {
        std::snprintf(number, sizeof number, "%03d", static_cast<int>(song));
        appendList(list, number);
    }
    return list.empty() ? "-" : list;
}

// The files column: the WAV of every rate code the header is played at, or
// why that code gives none; for a header no song plays, why it could give
// none, else "-".
std::string fileList(const SampleBank& bank, int32_t number, const SampleUse* use) {
    const int ownCode = static_cast<size_t>(number) < bank.headers.size()
                            ? bank.headers[static_cast<size_t>(number)].rateCode()
                            : 0;
    if (use == nullptr) {
        const SampleProblem problem = sampleProblem(bank, number, ownCode);
        return problem == SampleProblem::kNone ? "-" : std::string("none (") + sampleProblemText(problem) + ")";
    }
    std::string list;
    for (const int code : use->rateCodes) {
        const SampleProblem problem = sampleProblem(bank, number, code);
        appendList(list, problem == SampleProblem::kNone ? sampleFileName(number, code, ownCode)
                                                         : std::string("none (") + sampleProblemText(problem) + ")");
    }
    return list;
}

}  // namespace

void recordSongSamples(SampleUses& uses, int32_t song, const std::vector<DacKeySample>& keys) {
    for (const DacKeySample& k : keys) {
        SampleUse& use = uses.byHeader[k.header];
        use.rateCodes.insert(k.rateCode);
        if (use.songs.empty() || use.songs.back() != song) use.songs.push_back(song);
        if (k.problem != SampleProblem::kNone) uses.silentKeys.insert(k.dacKey);
    }
}

std::vector<SampleFile> sampleFilesToWrite(const SampleBank& bank, const SampleUses& uses) {
    std::vector<SampleFile> files;
    for (const auto& [header, use] : uses.byHeader) {
        for (const int code : use.rateCodes) {
            if (sampleProblem(bank, header, code) == SampleProblem::kNone) files.push_back({header, code});
        }
    }
    return files;
}

std::vector<uint8_t> buildSampleWav(const SampleBank& bank, const SampleFile& file, bool pal) {
    const SampleHeader& h = bank.headers[static_cast<size_t>(file.header)];
    const std::vector<uint8_t> pcm = samplePcm(bank, h);
    const SampleLoopFrames loop = sampleLoop(h);
    const WavLoop wavLoop{loop.firstFrame, loop.lastFrame};
    return buildWavFile(pcm.data(), pcm.size(), sampleRate(file.rateCode, pal), loop.looping ? &wavLoop : nullptr);
}

std::string buildSamplesListing(const SampleBank& bank, const SampleUses& uses, bool pal) {
    std::string text = "number\toffset\tskip\tbytes\tloop\trate code\trate\t4-bit\tcut\tfiles\tsongs\n";
    char fields[160];
    const auto useOf = [&uses](int32_t number) -> const SampleUse* {
        const auto it = uses.byHeader.find(number);
        return it == uses.byHeader.end() ? nullptr : &it->second;
    };
    for (size_t n = 0; n < bank.headers.size(); ++n) {
        const SampleHeader& h = bank.headers[n];
        const auto number = static_cast<int32_t>(n);
        const SampleUse* use = useOf(number);
        char loop[16] = "no";
        if (h.loops()) std::snprintf(loop, sizeof loop, "%u", static_cast<unsigned>(h.loop));
        std::snprintf(fields, sizeof fields, "%d\t0x%06X\t%u\t%u\t%s\t%d\t%u\t%s\t%s\t", static_cast<int>(n),
                      static_cast<unsigned>(h.offset), static_cast<unsigned>(h.skip), static_cast<unsigned>(h.first),
                      loop, h.rateCode(), static_cast<unsigned>(sampleRate(h.rateCode(), pal)),
                      h.packed() ? "yes" : "no", h.cutAtNoteOff() ? "yes" : "no");
        text += fields;
        text += fileList(bank, number, use) + "\t" + songList(use == nullptr ? std::vector<int32_t>{} : use->songs) +
                "\n";
    }
    // Numbers the songs play past the end of the table.
    for (const auto& [number, use] : uses.byHeader) {
        if (static_cast<size_t>(number) < bank.headers.size()) continue;
        std::snprintf(fields, sizeof fields, "%d\t-\t-\t-\t-\t-\t-\t-\t-\t", static_cast<int>(number));
        text += fields;
        text += fileList(bank, number, &use) + "\t" + songList(use.songs) + "\n";
    }
    return text;
}
