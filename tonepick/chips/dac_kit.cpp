#include "tonepick/chips/dac_kit.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

constexpr uint64_t kFnvOffset = 1469598103934665603ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;
constexpr size_t kCompareChunk = 64 * 1024;
constexpr uint32_t kUnknownRate = 44100;  // the log's clock: what a stretch without a measurable span gets

uint64_t mix(uint64_t h, uint64_t v) { return (h ^ v) * kFnvPrime; }

uint64_t placeKey(const KitPlace& place) {
    uint64_t h = kFnvOffset;
    h = mix(h, place.block);
    h = mix(h, place.offset);
    h = mix(h, place.step);
    return mix(h, place.reverse ? 1 : 0);
}

// The sample starting at that place, made when it is new; kNoKitSample when
// the kit is full.
uint32_t samplePlayedAt(DacKit& kit, KitSource source, const KitPlace& place, bool& created) {
    created = false;
    const uint64_t key = placeKey(place);
    // Looked up without inserting: a full kit must not grow the map by a
    // bucket per new place it refuses.
    const auto found = kit.byPlace.find(key);
    if (found != kit.byPlace.end()) {
        for (const uint32_t i : found->second) {
            const KitSample& s = kit.samples[i];
            if (s.place == place) return i;
        }
    }
    if (kit.samples.size() >= kMaxKitSamples) {
        kit.samplesFull = true;
        return kNoKitSample;
    }
    KitSample s;
    s.source = source;
    s.place = place;
    s.firstPlay = kit.nextSerial;
    const auto index = static_cast<uint32_t>(kit.samples.size());
    kit.samples.push_back(s);
    kit.byPlace[key].push_back(index);
    created = true;
    return index;
}

// The clock's wraps so far, given a time heard now: the log's times come in
// order, so a time below the last one heard means the 32-bit clock wrapped.
uint32_t wrapsAt(DacKit& kit, uint32_t time) {
    if (time < kit.lastClock) ++kit.clockWraps;
    kit.lastClock = time;
    return kit.clockWraps;
}

void recordPlay(DacKit& kit, const KitOpenPlay& play) {
    if (!play.heard || play.sample == kNoKitSample) return;
    ++kit.samples[play.sample].plays;
    if (kit.plays.size() >= kMaxKitPlays) {
        kit.playsFull = true;
        return;
    }
    kit.plays.push_back(KitPlay{play.firstTime, play.lastTime, play.sample, play.wraps});
}

void hear(DacKit& kit, KitOpenPlay& play, size_t count, uint32_t firstTime, uint32_t lastTime) {
    const uint32_t wraps = wrapsAt(kit, firstTime);
    wrapsAt(kit, lastTime);
    if (play.bytes == 0) {
        play.firstTime = firstTime;
        play.wraps = wraps;
    }
    play.bytes += count;
    play.lastTime = lastTime;
}

KitStreamPlay& streamPlay(DacKit& kit, int id) {
    if (kit.streams.size() <= static_cast<size_t>(id)) kit.streams.resize(static_cast<size_t>(id) + 1);
    return kit.streams[static_cast<size_t>(id)];
}

bool sameBytes(DacKit& kit, const KitSample& candidate, DacSample& stretch) {
    if (candidate.length != stretch.size) return false;
    std::vector<uint8_t> stored;
    uint64_t at = 0;
    bool same = true;
    forEachDacSamplePiece(stretch, [&](const uint8_t* bytes, size_t n) {
        for (size_t done = 0; same && done < n;) {
            const size_t take = std::min(n - done, kCompareChunk);
            stored.resize(take);
            same = readKitDirectBytes(kit, candidate, at, stored.data(), take) &&
                   std::memcmp(stored.data(), bytes + done, take) == 0;
            at += take;
            done += take;
        }
    });
    return same;
}

}  // namespace

void kitPcmBytes(DacKit& kit, uint32_t block, uint64_t position, size_t count, uint32_t firstTime, uint32_t lastTime) {
    if (count == 0) return;
    KitOpenPlay& play = kit.pcm;
    if (!play.open) {
        bool created = false;
        play = KitOpenPlay{};
        play.open = true;
        play.heard = true;
        play.sample = samplePlayedAt(kit, KitSource::kPcm, KitPlace{block, position, 1, false}, created);
        ++kit.nextSerial;
        kit.pcmBlock = block;
        kit.pcmStart = position;
    }
    hear(kit, play, count, firstTime, lastTime);
    kit.stretchHeardData = true;
    if (play.sample != kNoKitSample) {
        KitSample& s = kit.samples[play.sample];
        s.pcmReach = std::max(s.pcmReach, position + count - s.place.offset);
    }
}

void kitEndPcmPlay(DacKit& kit) {
    KitOpenPlay& play = kit.pcm;
    if (play.open && play.sample != kNoKitSample && kit.samples[play.sample].source == KitSource::kPcm) {
        KitSample& s = kit.samples[play.sample];
        // A sample first played by PCM reads keeps the rate of its longest play.
        if (play.bytes > s.longestPlay) {
            s.longestPlay = play.bytes;
            s.rate = dacSampleRate(play.bytes, play.firstTime, play.lastTime);
        }
    }
    recordPlay(kit, play);
    play = KitOpenPlay{};
}

void kitStreamStarted(DacKit& kit, int id) {
    KitStreamPlay& p = streamPlay(kit, id);
    recordPlay(kit, p.play);
    p.play = KitOpenPlay{};
    p.play.open = true;
}

void kitStreamBytes(DacKit& kit, int id, size_t count, uint32_t firstTime, uint32_t lastTime,
                    const KitStreamStart& start) {
    if (count == 0 || kit.streams.size() <= static_cast<size_t>(id)) return;
    KitStreamPlay& p = kit.streams[static_cast<size_t>(id)];
    if (!p.play.open) return;
    if (!p.play.heard) {
        // The play is where its first byte heard lies: a stream started
        // before its data arrived plays from the first byte that exists, and
        // a reverse pass from its top.
        if (!start.valid) return;
        p.start = start;
        bool created = false;
        p.play.heard = true;
        p.play.sample = samplePlayedAt(kit, KitSource::kStream, start.place, created);
        ++kit.nextSerial;
        if (p.play.sample != kNoKitSample) {
            KitSample& s = kit.samples[p.play.sample];
            // The frequency of its first play; a stream at frequency 0 still
            // sent its byte, which a WAV file of rate 0 could not hold.
            if (created) s.rate = start.frequency != 0 ? start.frequency : kUnknownRate;
            s.length = std::max(s.length, start.passWrites);
        }
    }
    hear(kit, p.play, count, firstTime, lastTime);
    kit.stretchHeardData = true;
    if (p.play.sample != kNoKitSample) {
        KitSample& s = kit.samples[p.play.sample];
        s.streamReach = std::max(s.streamReach, p.play.bytes);
    }
}

void kitDirectByte(DacKit& kit, uint32_t time) {
    if (kit.directOpen) return;
    kit.directOpen = true;
    kit.directSerial = kit.nextSerial++;
    kit.directWraps = wrapsAt(kit, time);
}

void kitDirectStretch(DacKit& kit, DacSample& stretch) {
    const bool open = kit.directOpen;
    const bool heardData = kit.stretchHeardData;
    kit.directOpen = false;
    kit.stretchHeardData = false;
    // In a stretch that played the PCM data, direct writes are the driver's
    // own (a centre value to silence the DAC, say), not a sample.
    if (!open || heardData || stretch.size == 0) return;
    uint64_t hash = kFnvOffset;
    forEachDacSamplePiece(stretch, [&](const uint8_t* bytes, size_t n) {
        for (size_t i = 0; i < n; ++i) hash = (hash ^ bytes[i]) * kFnvPrime;
    });
    hash = mix(hash, stretch.size);
    uint32_t index = kNoKitSample;
    // Looked up without inserting, as for places.
    if (const auto found = kit.byHash.find(hash); found != kit.byHash.end()) {
        for (const uint32_t i : found->second) {
            if (sameBytes(kit, kit.samples[i], stretch)) {
                index = i;
                break;
            }
        }
    }
    if (index == kNoKitSample) {
        if (kit.samples.size() >= kMaxKitSamples) {
            kit.samplesFull = true;
            return;
        }
        KitSample s;
        s.source = KitSource::kDirect;
        s.length = stretch.size;
        s.rate = stretch.rate;  // the rate of its first stretch
        s.direct.hash = hash;
        s.firstPlay = kit.directSerial;
        // The bytes go to the temporary file; without one, into memory.
        bool inFile = !kit.directSpillFailed;
        s.direct.spillAt = kit.directBytes.size();
        if (inFile) {
            forEachDacSamplePiece(stretch, [&](const uint8_t* bytes, size_t n) {
                inFile = inFile && kit.directBytes.append(bytes, n);
            });
            kit.directSpillFailed = !inFile;
        }
        if (!inFile) {
            s.direct.inMemory = true;
            s.direct.spillAt = kit.directMemory.size();
            forEachDacSamplePiece(stretch, [&](const uint8_t* bytes, size_t n) {
                kit.directMemory.insert(kit.directMemory.end(), bytes, bytes + n);
            });
        }
        index = static_cast<uint32_t>(kit.samples.size());
        kit.samples.push_back(s);
        kit.byHash[hash].push_back(index);
    }
    KitOpenPlay play;
    play.heard = true;
    play.sample = index;
    play.firstTime = stretch.capture.firstByteTime;
    play.lastTime = stretch.capture.lastByteTime;
    play.wraps = kit.directWraps;
    recordPlay(kit, play);
}

bool readKitDirectBytes(DacKit& kit, const KitSample& sample, uint64_t at, uint8_t* out, size_t n) {
    const KitDirectBytes& d = sample.direct;
    if (!d.inMemory) return kit.directBytes.read(d.spillAt + at, out, n);
    if (d.spillAt + at + n > kit.directMemory.size()) return false;
    std::memcpy(out, kit.directMemory.data() + d.spillAt + at, n);
    return true;
}

void kitEndAllPlays(DacKit& kit) {
    kitEndPcmPlay(kit);
    for (KitStreamPlay& p : kit.streams) {
        recordPlay(kit, p.play);
        p.play = KitOpenPlay{};
    }
}

std::vector<uint32_t> numberKitSamples(const DacKit& kit) {
    std::vector<uint32_t> order(kit.samples.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return kit.samples[a].firstPlay < kit.samples[b].firstPlay; });
    std::vector<uint32_t> number(kit.samples.size());
    for (size_t n = 0; n < order.size(); ++n) number[order[n]] = static_cast<uint32_t>(n);
    return number;
}
