// psgNoteOf answers from a table computed at compile time; this checks the
// table against the conversion done the long way, with the C library's ldexp
// and floor at run time, for every period a channel can hold and far beyond.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "tonepick/midi/note_conversion.h"

namespace {

int psgNoteTheLongWay(int32_t period) {
    const double referenceHz[12] = {261.63, 277.18, 293.66, 311.13, 329.63, 349.23,
                                    369.99, 392.0,  415.3,  440.0,  466.16, 493.88};
    int best = 33;
    int64_t bestDistance = -1;
    for (int m = 33; m <= 96; ++m) {
        const double hz = std::ldexp(referenceHz[m % 12], m / 12 - 4);
        const auto candidate = static_cast<int64_t>(std::floor(3579545.0 / (hz * 32) + 0.5));
        const int64_t distance = std::llabs(static_cast<int64_t>(period) - candidate);
        if (bestDistance < 0 || distance < bestDistance) {
            best = m;
            bestDistance = distance;
        }
    }
    return best;
}

TEST(PsgNoteTable, AgreesWithTheFormulaEverywhere) {
    for (int32_t p = -3000; p <= 70000; ++p) ASSERT_EQ(psgNoteOf(p), psgNoteTheLongWay(p)) << "period " << p;
    for (const int32_t p : {INT32_MIN, INT32_MIN + 1, -1000000, 1000000, INT32_MAX - 1, INT32_MAX})
        EXPECT_EQ(psgNoteOf(p), psgNoteTheLongWay(p)) << "period " << p;
}

}  // namespace
