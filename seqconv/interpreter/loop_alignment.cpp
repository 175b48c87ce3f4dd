#include "seqconv/interpreter/loop_alignment.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "seqconv/seqconv_run.h"

namespace {

// The smallest prime above kMaxLoopPeriod (2^20 + 7).
constexpr int32_t kUnalignablePrime = 1048583;
static_assert(kUnalignablePrime > kMaxLoopPeriod);

// Residues are kept in 0 <= r < m whatever the sign of the start time.
int64_t floorMod(int64_t value, int64_t modulus) {
    const int64_t r = value % modulus;
    return r < 0 ? r + modulus : r;
}

// The moduli built so far, with an index by prime so that finding the entry
// of the same prime costs the same however many loops a song has.
class Aligner {
public:
    Aligner(SeqconvRun& run, bool& noLoop) : run_(run), noLoop_(noLoop) {}

    // Every prime power of `length` is already covered by a modulus at least as
    // large (length divides the period): only the starts can disagree.
    bool covers(int64_t length) const { return period_ % length == 0; }

    // Checks a covered loop against every modulus; false (noLoop set) on a
    // disagreement. There are at most seven moduli below kMaxLoopPeriod.
    bool agrees(int64_t length, int64_t start) {
        for (size_t j = 0; j < run_.loopModuli.size(); ++j) {
            const int64_t q = std::gcd(run_.loopModuli[j], length);
            if (q > 1 && floorMod(run_.loopResidues[j], q) != floorMod(start, q)) {
                noLoop_ = true;
                return false;
            }
        }
        return true;
    }

    // Applies the prime power q of `prime` from a loop starting at `start`.
    // Returns false when the alignment has to stop (noLoop is then set).
    bool apply(int64_t prime, int64_t q, int64_t start) {
        const auto found = positions_.find(prime);
        if (found == positions_.end()) {
            positions_.emplace(prime, run_.loopModuli.size());
            run_.loopModuli.push_back(q);
            run_.loopResidues.push_back(floorMod(start, q));
            period_ *= q;
        } else {
            const size_t j = found->second;
            const int64_t m = run_.loopModuli[j];
            if (m % q == 0) {
                // Already covered by an equal or higher power.
                if (floorMod(run_.loopResidues[j], q) != floorMod(start, q)) {
                    noLoop_ = true;
                    return false;
                }
                return true;
            }
            // A higher power than the one recorded: it replaces it, even when the
            // starts disagree (the alignment then stops anyway).
            if (floorMod(run_.loopResidues[j], m) != floorMod(start, m)) noLoop_ = true;
            run_.loopModuli[j] = q;
            run_.loopResidues[j] = floorMod(start, q);
            period_ = period_ / m * q;
            if (noLoop_) return false;
        }
        // The period only grows from here, so the song will not be aligned.
        if (period_ > kMaxLoopPeriod) {
            noLoop_ = true;
            return false;
        }
        return true;
    }

private:
    SeqconvRun& run_;
    bool& noLoop_;
    std::unordered_map<int64_t, size_t> positions_;
    int64_t period_ = 1;  // product of the moduli, at most kMaxLoopPeriod between loops
};

}  // namespace

void alignLoops(SeqconvRun& run, bool& noLoop) {
    run.loopModuli.clear();
    run.loopResidues.clear();
    if (noLoop) return;
    Aligner aligner(run, noLoop);
    const size_t loops = std::min(run.loopStarts.size(), run.loopLengths.size());
    for (size_t i = 0; i < loops; ++i) {
        int64_t r = run.loopLengths[i];
        const int64_t start = run.loopStarts[i];
        if (r < 2) continue;  // a loop of 0 or 1 tick is aligned at every time
        if (aligner.covers(r)) {
            if (!aligner.agrees(r, start)) return;
            continue;
        }
        // Prime powers in ascending order of their prime. Trial division up to
        // the square root: what remains above 1 afterwards is a prime.
        for (int64_t d = 2; d * d <= r; ++d) {
            if (r % d != 0) continue;
            int64_t q = d;
            while ((r / q) % d == 0) q *= d;
            if (!aligner.apply(d, q, start)) return;
            r /= q;
        }
        if (r > 1 && !aligner.apply(r, r, start)) return;
    }
}

void recordInfiniteLoop(SeqconvRun& run, int32_t start, int32_t length) {
    run.loopStarts.push_back(start);
    run.loopLengths.push_back(length);
    if (run.loopStarts.size() < kLoopListCompactAt) return;

    const int32_t earliest = *std::min_element(run.loopStarts.begin(), run.loopStarts.end());
    bool noLoop = !run.flags.crtLoops;
    alignLoops(run, noLoop);  // the moduli are worked out again after the pass
    run.loopStarts.clear();
    run.loopLengths.clear();
    if (!noLoop) {
        // Each modulus is a power of its own prime: replaying one loop per
        // modulus, starting at the first time not before the earliest start
        // that has the modulus' residue, rebuilds exactly these moduli in this
        // order. That time is at most the start of the loop that set the
        // residue, so it fits.
        for (size_t j = 0; j < run.loopModuli.size(); ++j) {
            const int64_t m = run.loopModuli[j];
            const int64_t first = earliest + floorMod(run.loopResidues[j] - earliest, m);
            run.loopStarts.push_back(static_cast<int32_t>(first));
            run.loopLengths.push_back(static_cast<int32_t>(m));
        }
        run.loopStarts.push_back(earliest);
        run.loopLengths.push_back(0);  // a length of 0 adds nothing to the alignment
    } else if (run.flags.crtLoops) {
        // A prime above kMaxLoopPeriod stops any alignment, as the lost list did.
        run.loopStarts.push_back(earliest);
        run.loopLengths.push_back(kUnalignablePrime);
    } else {
        run.loopStarts.push_back(earliest);
        run.loopLengths.push_back(0);
    }
    run.loopModuli.clear();
    run.loopResidues.clear();
}

LoopSolution solveLoopAlignment(const SeqconvRun& run) {
    LoopSolution solution;
    const size_t count = std::min(run.loopModuli.size(), run.loopResidues.size());
    int64_t period = 1;
    for (size_t j = 0; j < count; ++j) {
        const int64_t m = run.loopModuli[j];
        if (m < 1 || m > kMaxLoopPeriod / period) return solution;
        period *= m;
    }
    int64_t aligned = 0;
    for (size_t j = 0; j < count; ++j) {
        const int64_t m = run.loopModuli[j];
        const int64_t a = period / m;
        const int64_t step = a % m;
        // Smallest k with (k * a) mod m == residue, k * a built by repeated addition.
        int64_t product = 0;
        int64_t k = 0;
        while (k < m && product != run.loopResidues[j]) {
            product += step;
            if (product >= m) product -= m;
            ++k;
        }
        if (k == m) return solution;  // moduli that are not coprime, or a residue out of range
        aligned += a * k;
    }
    solution.solvable = true;
    solution.alignedTime = aligned;
    solution.loopPeriod = period;
    return solution;
}
