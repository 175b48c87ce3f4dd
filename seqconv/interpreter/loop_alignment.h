#pragma once
// Lining up a song's endless loops. Each channel usually ends in an infinite
// loop of its own length; an end time at which every loop is back at its start
// is a solution of the congruences  t = start (mod length)  for all loops.
// The lengths are split into prime powers so that the moduli are pairwise
// coprime and the Chinese remainder construction applies.

#include <cstddef>
#include <cstdint>

struct SeqconvRun;

// Loops whose combined period exceeds this many ticks (about six hours at 120
// beats per minute) are written as if they could not be aligned. Real songs
// align far below it; the bound keeps every product and sum within 64 bits
// and the second pass short.
constexpr int64_t kMaxLoopPeriod = int64_t{1} << 20;

// Fills run.loopModuli / run.loopResidues (emptied first) from run.loopStarts
// and run.loopLengths: one prime power per prime, in order of first use.
// Does nothing when noLoop is set; sets noLoop and stops at the first loop
// whose start disagrees with an earlier one, or once the product of the
// moduli exceeds kMaxLoopPeriod.
void alignLoops(SeqconvRun& run, bool& noLoop);

// The infinite-loop lists are compacted once they hold this many entries.
constexpr size_t kLoopListCompactAt = 65536;

// Appends one measured infinite loop to run.loopStarts / run.loopLengths.
// Nested finite loops can make a channel measure tens of millions of loops,
// so a long list is replaced by a few entries that have exactly the same
// effect: the same earliest start, and the same alignment outcome whatever
// loops follow (without flag c one entry at the earliest start; with flag c
// one loop per modulus so far, or one loop that cannot be aligned at all).
void recordInfiniteLoop(SeqconvRun& run, int32_t start, int32_t length);

struct LoopSolution {
    bool solvable = false;  // false: period above kMaxLoopPeriod, or no solution
    int64_t alignedTime = 0;
    int64_t loopPeriod = 1;
};

// The Chinese remainder construction over run.loopModuli / run.loopResidues:
// the sum of (period / m) * k with the smallest k per modulus, not reduced
// modulo the period. The product of the moduli is checked while it is built.
LoopSolution solveLoopAlignment(const SeqconvRun& run);
