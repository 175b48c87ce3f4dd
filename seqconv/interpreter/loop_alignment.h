#pragma once
// Lining up a song's endless loops. Each channel usually ends in an infinite
// loop of its own length; an end time at which every loop is back at its start
// is a solution of the congruences  t = start (mod length)  for all loops.
// The lengths are split into prime powers so that the moduli are pairwise
// coprime and the Chinese remainder construction applies. Everything here is
// a function of the loop log and the flags it is given.

#include <cstddef>
#include <cstdint>
#include <vector>

// Loops whose combined period exceeds this many ticks (about six hours at 120
// beats per minute) are written as if they could not be aligned. Real songs
// align far below it; the bound keeps every product and sum within 64 bits
// and the second pass short.
constexpr int64_t kMaxLoopPeriod = int64_t{1} << 20;

// The infinite loops measured in the first pass of one output song, in the
// order their bodies finished (an inner loop before the loop around it).
struct LoopLog {
    std::vector<int32_t> starts;   // time at which the loop began, ticks
    std::vector<int32_t> lengths;  // ticks one run of its body took; parallel to starts

    void clear() {
        starts.clear();
        lengths.clear();
    }
};

// The loop moduli and residues: one prime power per prime, in order of first
// use, each residue in 0 <= residue < modulus.
struct AlignedLoops {
    std::vector<int64_t> moduli;
    std::vector<int64_t> residues;
    bool noLoop = false;  // the song is written without loop markers
};

// The moduli and residues of `log`. With noLoop given (no flag c, or no
// loop) nothing is aligned. Otherwise stops with noLoop set at the first loop
// whose start disagrees with an earlier one, or once the product of the
// moduli exceeds kMaxLoopPeriod.
AlignedLoops alignLoops(const LoopLog& log, bool noLoop);

// The log is compacted once it holds this many entries.
constexpr size_t kLoopListCompactAt = 65536;

// Appends one measured infinite loop to `log`. Nested finite loops can make a
// channel measure tens of millions of loops, so a long log is replaced by a
// few entries that have exactly the same effect: the same earliest start, and
// the same alignment outcome whatever loops follow (without flag c, crtLoops,
// one entry at the earliest start; with it one loop per modulus so far, or
// one loop that cannot be aligned at all).
void recordInfiniteLoop(LoopLog& log, int32_t start, int32_t length, bool crtLoops);

struct LoopSolution {
    bool solvable = false;  // false: period above kMaxLoopPeriod, or no solution
    int64_t alignedTime = 0;
    int64_t loopPeriod = 1;
};

// The Chinese remainder construction over the moduli and residues: the sum of
// (period / m) * k with the smallest k per modulus, not reduced modulo the
// period. The product of the moduli is checked while it is built.
LoopSolution solveLoopAlignment(const AlignedLoops& loops);
