#include "seqconv/interpreter/interpreter.h"

#include <bitset>
#include <cstddef>

#include "seqconv/interpreter/level_interpreter.h"
#include "seqconv/seqconv_run.h"

namespace {

// Song numbers an output song can reach: the table's first entry is 16 bits,
// and 0x6B names songs 0..255.
constexpr int32_t kSongNumberCount = 0x10000;
constexpr int32_t kChannelsPerSong = 256;

// Every channel of song `song`, starting at `startTime`. A table entry, channel
// count or pointer past the end of the bank yields nothing from there on.
void interpretPlayEntry(SeqconvRun& run, int32_t outputSong, int32_t song, int32_t startTime) {
    uint32_t header = 0;
    uint32_t channelCount = 0;
    if (!readBankLe16(run.sequences, 2 * static_cast<uint64_t>(song), header)) return;
    if (!readBankByte(run.sequences, header, channelCount)) return;
    const uint64_t pointerWidth = run.flags.threeBytePointers ? 3 : 2;
    for (uint32_t k = 0; k < channelCount; ++k) {
        if (budgetExhausted(run.budget)) return;
        const uint64_t at = static_cast<uint64_t>(header) + 1 + pointerWidth * k;
        uint32_t pointer = 0;
        const bool found = run.flags.threeBytePointers ? readBankLe24(run.sequences, at, pointer)
                                                       : readBankLe16(run.sequences, at, pointer);
        if (!found) return;

        SeqState& state = run.state;  // tempo and maxTime are left alone
        state.pitch = 0;
        state.volume = 0;
        state.priority = 0;
        state.delay = 0;
        state.duration = 0;
        state.patch = -1;
        state.delayContinues = false;
        state.durationContinues = false;
        state.time = startTime;
        state.channelId = song * kChannelsPerSong + static_cast<int32_t>(k);
        if (run.flags.logEnabled)
            std::fprintf(run.out, "parseseq %X %X\n", static_cast<unsigned>(outputSong),
                         static_cast<unsigned>(state.channelId));
        interpretChannel(run, pointer);
    }
}

}  // namespace

void interpretSongPass(SeqconvRun& run, int32_t song) {
    run.budget.passRecords = 0;
    run.budget.passBytes = 0;
    run.playSongs.clear();
    run.playTimes.clear();
    if (song < 0 || song >= kSongNumberCount) return;
    run.playSongs.push_back(song);
    run.playTimes.push_back(0);

    const bool firstPass = run.state.maxTime == 0;
    std::bitset<kSongNumberCount> seen;
    // The list grows while it is walked: its length is read on every step.
    for (size_t i = 0; i < run.playSongs.size(); ++i) {
        if (budgetExhausted(run.budget)) return;
        const int32_t entrySong = run.playSongs[i];
        if (firstPass) {
            // The first pass measures each song once; repeats would only
            // record their loops twice.
            if (seen.test(static_cast<size_t>(entrySong))) continue;
            seen.set(static_cast<size_t>(entrySong));
        }
        interpretPlayEntry(run, song, entrySong, run.playTimes[i]);
    }
}
