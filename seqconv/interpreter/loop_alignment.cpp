#include "seqconv/interpreter/loop_alignment.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>


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
    explicit Aligner(AlignedLoops& out) : out_(out) {}

    // Every prime power of `length` is already covered by a modulus at least as
    // large (length divides the period): only the starts can disagree.
    bool covers(int64_t length) const { return period_ % length == 0; }

    // Checks a covered loop against every modulus; false (noLoop set) on a
    // disagreement. There are at most seven moduli below kMaxLoopPeriod.
    bool agrees(int64_t length, int64_t start) {
        for (size_t j = 0; j < out_.moduli.size(); ++j) {
            const int64_t q = std::gcd(out_.moduli[j], length);
            if (q > 1 && floorMod(out_.residues[j], q) != floorMod(start, q)) {
                out_.noLoop = true;
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
            positions_.emplace(prime, out_.moduli.size());
            out_.moduli.push_back(q);
            out_.residues.push_back(floorMod(start, q));
            period_ *= q;
        } else {
            const size_t j = found->second;
            const int64_t m = out_.moduli[j];
            if (m % q == 0) {
                // Already covered by an equal or higher power.
                if (floorMod(out_.residues[j], q) != floorMod(start, q)) {
                    out_.noLoop = true;
                    return false;
                }
                return true;
            }
            // A higher power than the one recorded: it replaces it, even when the
            // starts disagree (the alignment then stops anyway).
            if (floorMod(out_.residues[j], m) != floorMod(start, m)) out_.noLoop = true;
            out_.moduli[j] = q;
            out_.residues[j] = floorMod(start, q);
            period_ = period_ / m * q;
            if (out_.noLoop) return false;
        }
        // The period only grows from here, so the song will not be aligned.
        if (period_ > kMaxLoopPeriod) {
            out_.noLoop = true;
            return false;
        }
        return true;
    }

private:
    AlignedLoops& out_;
    std::unordered_map<int64_t, size_t> positions_;
    int64_t period_ = 1;  // product of the moduli, at most kMaxLoopPeriod between loops
};

}  // namespace

AlignedLoops alignLoops(const LoopLog& log, bool noLoop) {
    AlignedLoops out;
    out.noLoop = noLoop;
    if (noLoop) return out;
    Aligner aligner(out);
    const size_t loops = std::min(log.starts.size(), log.lengths.size());
    for (size_t i = 0; i < loops; ++i) {
        int64_t r = log.lengths[i];
        const int64_t start = log.starts[i];
        if (r < 2) continue;  // a loop of 0 or 1 tick is aligned at every time
        if (aligner.covers(r)) {
            if (!aligner.agrees(r, start)) return out;
            continue;
        }
        // Prime powers in ascending order of their prime. Trial division up to
        // the square root: what remains above 1 afterwards is a prime.
        for (int64_t d = 2; d * d <= r; ++d) {
            if (r % d != 0) continue;
            int64_t q = d;
            while ((r / q) % d == 0) q *= d;
            if (!aligner.apply(d, q, start)) return out;
            r /= q;
        }
        if (r > 1 && !aligner.apply(r, r, start)) return out;
    }
    return out;
}

void recordInfiniteLoop(LoopLog& log, int32_t start, int32_t length, bool crtLoops) {
    log.starts.push_back(start);
    log.lengths.push_back(length);
    if (log.starts.size() < kLoopListCompactAt) return;

    const int32_t earliest = *std::min_element(log.starts.begin(), log.starts.end());
    // The moduli are worked out again from the compacted log after the pass.
    const AlignedLoops aligned = alignLoops(log, !crtLoops);
    log.clear();
    if (!aligned.noLoop) {
        // Each modulus is a power of its own prime: replaying one loop per
        // modulus, starting at the first time not before the earliest start
        // that has the modulus' residue, rebuilds exactly these moduli in this
        // order. That time is at most the start of the loop that set the
        // residue, so it fits.
        for (size_t j = 0; j < aligned.moduli.size(); ++j) {
            const int64_t m = aligned.moduli[j];
            const int64_t first = earliest + floorMod(aligned.residues[j] - earliest, m);
            log.starts.push_back(static_cast<int32_t>(first));
            log.lengths.push_back(static_cast<int32_t>(m));
        }
        log.starts.push_back(earliest);
        log.lengths.push_back(0);  // a length of 0 adds nothing to the alignment
    } else if (crtLoops) {
        // A prime above kMaxLoopPeriod stops any alignment, as the lost list did.
        log.starts.push_back(earliest);
        log.lengths.push_back(kUnalignablePrime);
    } else {
        log.starts.push_back(earliest);
        log.lengths.push_back(0);
    }
}

LoopSolution solveLoopAlignment(const AlignedLoops& loops) {
    LoopSolution solution;
    const size_t count = std::min(loops.moduli.size(), loops.residues.size());
    int64_t period = 1;
    for (size_t j = 0; j < count; ++j) {
        const int64_t m = loops.moduli[j];
        if (m < 1 || m > kMaxLoopPeriod / period) return solution;
        period *= m;
    }
    int64_t aligned = 0;
    for (size_t j = 0; j < count; ++j) {
        const int64_t m = loops.moduli[j];
        const int64_t a = period / m;
        const int64_t step = a % m;
        // Smallest k with (k * a) mod m == residue, k * a built by repeated addition.
        int64_t product = 0;
        int64_t k = 0;
        while (k < m && product != loops.residues[j]) {
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
