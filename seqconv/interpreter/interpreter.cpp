#include "seqconv/interpreter/interpreter.h"

#include <bitset>
#include <cstddef>

#include "seqconv/interpreter/level_interpreter.h"

namespace {

// Song numbers an output song can reach: the table's first entry is 16 bits,
// and 0x6B names songs 0..255.
constexpr int32_t kSongNumberCount = 0x10000;
constexpr int32_t kChannelsPerSong = 256;

// Every channel of song `song`, starting at `startTime`. A table entry, channel
// count or pointer past the end of the bank yields nothing from there on.
void interpretPlayEntry(SongInterpreter& in, Pass pass, int32_t outputSong, int32_t song, int32_t startTime) {
    uint32_t header = 0;
    uint32_t channelCount = 0;
    if (!readBankLe16(in.bank, 2 * static_cast<uint64_t>(song), header)) return;
    if (!readBankByte(in.bank, header, channelCount)) return;
    const uint64_t pointerWidth = in.options.threeBytePointers ? 3 : 2;
    for (uint32_t k = 0; k < channelCount; ++k) {
        if (budgetExhausted(in.budget)) return;
        const uint64_t at = static_cast<uint64_t>(header) + 1 + pointerWidth * k;
        uint32_t pointer = 0;
        const bool found = in.options.threeBytePointers ? readBankLe24(in.bank, at, pointer)
                                                       : readBankLe16(in.bank, at, pointer);
        if (!found) return;

        SeqState& state = in.state;  // tempo and maxTime are left alone
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
        if (in.options.logEnabled)
            std::fprintf(in.trace, "parseseq %X %X\n", static_cast<unsigned>(outputSong),
                         static_cast<unsigned>(state.channelId));
        interpretChannel(in, pass, pointer);
    }
}

}  // namespace

void interpretSongPass(SongInterpreter& in, int32_t song, Pass pass) {
    in.budget.passRecords = 0;
    in.budget.passBytes = 0;
    std::vector<int32_t>& playSongs = in.lists.playSongs;
    std::vector<int32_t>& playTimes = in.lists.playTimes;
    playSongs.clear();
    playTimes.clear();
    if (song < 0 || song >= kSongNumberCount) return;
    playSongs.push_back(song);
    playTimes.push_back(0);

    std::bitset<kSongNumberCount> seen;
    // The list grows while it is walked: its length is read on every step.
    for (size_t i = 0; i < playSongs.size(); ++i) {
        if (budgetExhausted(in.budget)) return;
        const int32_t entrySong = playSongs[i];
        if (pass == Pass::kMeasure) {
            // The first pass measures each song once; repeats would only
            // record their loops twice.
            if (seen.test(static_cast<size_t>(entrySong))) continue;
            seen.set(static_cast<size_t>(entrySong));
        }
        interpretPlayEntry(in, pass, song, entrySong, playTimes[i]);
    }
}
