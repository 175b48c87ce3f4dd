#include "seqconv/bank_files/dac_key_map.h"

#include <cstdio>

namespace {

constexpr int kKeepHeaderRate = 4;  // a DAC patch's second byte that changes nothing

}  // namespace

int effectiveRateCode(const InstrumentBank& instruments, int32_t patch, int headerCode) {
    const int32_t offset = patchOffset(instruments, patch);
    if (offset < 0 || patchType(instruments, patch) != kDacPatchType) return headerCode;
    const int code = instruments.bytes[static_cast<size_t>(offset) + 1];
    return code == kKeepHeaderRate ? headerCode : code;
}

std::string sampleFileName(int32_t header, int rateCode, int headerCode) {
    char name[40];
    if (rateCode == headerCode)
        std::snprintf(name, sizeof name, "sample_%02d.wav", static_cast<int>(header));
    else
        std::snprintf(name, sizeof name, "sample_%02d_%02d.wav", static_cast<int>(header), rateCode);
    return name;
}

std::vector<DacKeySample> mapDacKeys(const SampleBank& samples, const InstrumentBank& instruments,
                                     const std::vector<int32_t>& dacKeys, bool pal) {
    std::vector<DacKeySample> map;
    map.reserve(dacKeys.size());
    for (size_t m = 0; m < dacKeys.size(); ++m) {
        DacKeySample k;
        k.midiKey = kFirstDacMidiKey + static_cast<int32_t>(m);
        k.dacKey = dacKeys[m];
        k.header = dacSampleNumber(k.dacKey & 0xFF);
        const bool known = static_cast<size_t>(k.header) < samples.headers.size();
        const SampleHeader header = known ? samples.headers[static_cast<size_t>(k.header)] : SampleHeader{};
        k.rateCode = effectiveRateCode(instruments, k.dacKey >> 8, header.rateCode());
        k.rate = sampleRate(k.rateCode, pal);
        k.problem = sampleProblem(samples, k.header, k.rateCode);
        if (k.problem == SampleProblem::kNone) {
            k.file = sampleFileName(k.header, k.rateCode, header.rateCode());
            k.frames = sampleFrames(header);
            k.loop = sampleLoop(header);
            k.cutAtNoteOff = header.cutAtNoteOff();
        }
        map.push_back(std::move(k));
    }
    return map;
}
