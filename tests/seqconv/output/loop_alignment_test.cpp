// The end time of a song: last event, or with flag c the first time at or
// after it at which every infinite loop is back at its start.
#include "seqconv/interpreter/loop_alignment.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include <memory>
#include <vector>

#include "seqconv/output/song_conversion.h"

namespace {

struct Loop {
    int32_t start;
    int32_t length;
};

// What a first pass leaves for the end time: its loop log and its events,
// and the moduli worked out from the log.
struct FirstPass {
    LoopLog log;
    std::vector<SeqEvent> events;
    AlignedLoops aligned;
};

// A first pass that measured `loops` and whose last event lies at `lastEvent`
// (no event at all when lastEvent < 0).
std::unique_ptr<FirstPass> firstPass(std::initializer_list<Loop> loops, int32_t lastEvent) {
    auto run = std::make_unique<FirstPass>();
    for (const Loop& l : loops) {
        run->log.starts.push_back(l.start);
        run->log.lengths.push_back(l.length);
    }
    if (lastEvent >= 0) {
        SeqEvent e;
        e.time = lastEvent;
        run->events.push_back(e);
    }
    return run;
}

// The alignment with noLoop given and returned, as the conversion runs it.
void align(FirstPass& run, bool& noLoop) {
    run.aligned = alignLoops(run.log, noLoop);
    noLoop = run.aligned.noLoop;
}

// The end time from the moduli so far, with noLoop given and returned.
int32_t endTime(FirstPass& run, bool& noLoop) {
    run.aligned.noLoop = noLoop;
    const SongEnd end = chooseEndTime(run.events, run.aligned);
    noLoop = end.noLoop;
    return end.maxTime;
}

// Alignment and end time as the conversion does them with flag c.
int32_t alignedEnd(FirstPass& run, bool& noLoop) {
    noLoop = false;
    align(run, noLoop);
    return endTime(run, noLoop);
}

}  // namespace

TEST(LoopAlignment, WorkedExampleAlignsAtThirty) {
    auto run = firstPass({{0, 6}, {2, 4}}, 20);
    bool noLoop = false;
    align(*run, noLoop);
    EXPECT_FALSE(noLoop);
    // 2 and 3 from the first loop; the second loop's 4 replaces the 2.
    EXPECT_EQ(run->aligned.moduli, (std::vector<int64_t>{4, 3}));
    EXPECT_EQ(run->aligned.residues, (std::vector<int64_t>{2, 0}));
    const LoopSolution solution = solveLoopAlignment(run->aligned);
    EXPECT_TRUE(solution.solvable);
    EXPECT_EQ(solution.loopPeriod, 12);
    EXPECT_EQ(solution.alignedTime, 6);
    EXPECT_EQ(endTime(*run, noLoop), 30);
    EXPECT_FALSE(noLoop);
}

TEST(LoopAlignment, DisagreeingStartsEndAtTheLastEvent) {
    // Modulus 2 exists with residue 0; the loop needs 1.
    auto run = firstPass({{0, 6}, {1, 2}}, 20);
    bool noLoop = false;
    EXPECT_EQ(alignedEnd(*run, noLoop), 20);
    EXPECT_TRUE(noLoop);

    // A higher power replaces the entry even when the starts disagree, and the
    // alignment stops there: the third loop is never looked at.
    run = firstPass({{0, 2}, {1, 4}, {0, 3}}, 20);
    noLoop = false;
    align(*run, noLoop);
    EXPECT_TRUE(noLoop);
    EXPECT_EQ(run->aligned.moduli, (std::vector<int64_t>{4}));
    EXPECT_EQ(run->aligned.residues, (std::vector<int64_t>{1}));
}

TEST(LoopAlignment, WithoutTheFlagNothingIsAligned) {
    auto run = firstPass({{0, 6}, {2, 4}}, 20);
    bool noLoop = true;
    align(*run, noLoop);
    EXPECT_TRUE(run->aligned.moduli.empty());
    EXPECT_EQ(endTime(*run, noLoop), 20);
}

TEST(LoopAlignment, LoopsOfZeroOrOneTickAlignEverywhere) {
    auto run = firstPass({{5, 0}, {7, 1}}, 13);
    bool noLoop = false;
    EXPECT_EQ(alignedEnd(*run, noLoop), 13);
    EXPECT_FALSE(noLoop);
    EXPECT_TRUE(run->aligned.moduli.empty());
}

TEST(LoopAlignment, AlignedTimeIsNotReducedByThePeriod) {
    // Moduli 2, 3, 5 with residues 1, 2, 4: 15 + 2 * 10 + 4 * 6 = 59, although
    // 29 is aligned too. At or above the last event it is used unchanged.
    auto run = firstPass({{1, 2}, {2, 3}, {4, 5}}, 10);
    bool noLoop = false;
    EXPECT_EQ(alignedEnd(*run, noLoop), 59);
    EXPECT_FALSE(noLoop);
    run = firstPass({{1, 2}, {2, 3}, {4, 5}}, 60);
    EXPECT_EQ(alignedEnd(*run, noLoop), 89);
}

TEST(LoopAlignment, EndTimeIsNeverZero) {
    // No event at all, or events at time 0 only: the end time is 1.
    auto run = firstPass({}, -1);
    bool noLoop = true;
    EXPECT_EQ(endTime(*run, noLoop), 1);
    run = firstPass({}, 0);
    EXPECT_EQ(endTime(*run, noLoop), 1);
    // Aligned at 0, then stepped by the period to the first aligned time >= 1.
    run = firstPass({{0, 4}}, 0);
    EXPECT_EQ(alignedEnd(*run, noLoop), 4);
    EXPECT_FALSE(noLoop);
    run = firstPass({{0, 4}}, -1);
    EXPECT_EQ(alignedEnd(*run, noLoop), 4);
}

TEST(LoopAlignment, PeriodAboveTwoToTheTwentyIsNotAligned) {
    auto run = firstPass({{0, 1 << 20}}, 5);
    bool noLoop = false;
    EXPECT_EQ(alignedEnd(*run, noLoop), 1 << 20);
    EXPECT_FALSE(noLoop);
    // 2^10 * 1025 > 2^20.
    run = firstPass({{0, 1024}, {0, 1025}}, 5);
    EXPECT_EQ(alignedEnd(*run, noLoop), 5);
    EXPECT_TRUE(noLoop);
    // A large prime length is factored quickly and is far too long a period.
    run = firstPass({{0, 2147483647}}, 5);
    EXPECT_EQ(alignedEnd(*run, noLoop), 5);
    EXPECT_TRUE(noLoop);
}

TEST(LoopAlignment, HandMadeModuliTooLargeOrWithoutSolution) {
    auto run = firstPass({}, 5);
    run->aligned.moduli = {1024, 1031};  // product above 2^20
    run->aligned.residues = {0, 0};
    EXPECT_FALSE(solveLoopAlignment(run->aligned).solvable);
    run->aligned.moduli = {4, 2};  // not coprime: residue 1 mod 2 cannot be met
    run->aligned.residues = {0, 1};
    EXPECT_FALSE(solveLoopAlignment(run->aligned).solvable);
    bool noLoop = false;
    EXPECT_EQ(endTime(*run, noLoop), 5);
    EXPECT_TRUE(noLoop);
}

TEST(LoopAlignment, AlignedEndFarBeyondTheLastEventIsNotUsed) {
    // Moduli 1024 and 729 (period 746,496) with residues that need the largest
    // k of both: aligned time 729 * 1023 + 1024 * 728 = 1,491,239.
    auto run = firstPass({{295, 1024}, {434, 729}}, 500000);
    bool noLoop = false;
    EXPECT_EQ(alignedEnd(*run, noLoop), 1491239);
    EXPECT_FALSE(noLoop);
    // More than 2^20 ticks after the last event: written without loops.
    run = firstPass({{295, 1024}, {434, 729}}, 400000);
    EXPECT_EQ(alignedEnd(*run, noLoop), 400000);
    EXPECT_TRUE(noLoop);
}

TEST(LoopAlignment, AlignedEndMustFitThirtyTwoBits) {
    auto run = firstPass({{0, 8}}, 2147483644);
    bool noLoop = false;
    EXPECT_EQ(alignedEnd(*run, noLoop), 2147483644);
    EXPECT_TRUE(noLoop);
}

TEST(LoopAlignment, ManyEqualLoopsAlignCheaply) {
    // A million loops of a prime length just below 2^20, all agreeing.
    auto run = firstPass({}, 10);
    for (int i = 0; i < 1000000; ++i) {
        run->log.starts.push_back(3 + 1048573 * (i % 3));
        run->log.lengths.push_back(1048573);
    }
    bool noLoop = false;
    // Aligned at 3, below the last event at 10: one period later.
    EXPECT_EQ(alignedEnd(*run, noLoop), 3 + 1048573);
    EXPECT_FALSE(noLoop);
    EXPECT_EQ(run->aligned.moduli, (std::vector<int64_t>{1048573}));
}

TEST(LoopAlignment, AgreesWithABruteForceSearch) {
    // Small random loops: an aligned time exists exactly when the brute force
    // finds one below the least common multiple of the lengths, and the chosen
    // end time is then aligned and not below the last event.
    std::mt19937 random(1234);
    for (int trial = 0; trial < 3000; ++trial) {
        const int count = 1 + static_cast<int>(random() % 4);
        auto run = firstPass({}, static_cast<int32_t>(random() % 40));
        int64_t lcm = 1;
        for (int i = 0; i < count; ++i) {
            const auto length = static_cast<int32_t>(random() % 13);
            run->log.starts.push_back(static_cast<int32_t>(random() % 30));
            run->log.lengths.push_back(length);
            if (length > 1) lcm = std::lcm(lcm, int64_t{length});
        }
        const auto alignedAt = [&](int64_t t) {
            for (size_t i = 0; i < run->log.starts.size(); ++i) {
                const int64_t length = run->log.lengths[i];
                if (length > 1 && (t - run->log.starts[i]) % length != 0) return false;
            }
            return true;
        };
        bool exists = false;
        for (int64_t t = 30; t < 30 + lcm && !exists; ++t) exists = alignedAt(t);
        bool noLoop = false;
        const int32_t end = alignedEnd(*run, noLoop);
        ASSERT_EQ(noLoop, !exists) << "trial " << trial;
        if (exists) {
            EXPECT_TRUE(alignedAt(end)) << "trial " << trial << " end " << end;
            EXPECT_GE(end, std::max(run->events.back().time, 1));
        } else {
            EXPECT_EQ(end, std::max(run->events.back().time, 1));
        }
    }
}
