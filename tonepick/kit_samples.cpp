#include "tonepick/kit_samples.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "tonepick/tonepick_run.h"

namespace {

constexpr size_t kKitChunk = 64 * 1024;  // sample bytes read per piece

// A PCM or stream sample as a pass over the stream bank (the PCM blocks end
// to end) from its place; false when its block is not in the bank.
bool kitSamplePass(TonepickRun& run, const KitSample& s, StreamBankPass& pass) {
    return pcmBankPassFrom(run.stream.dacStreams, s.place.block, s.place.offset, std::max(s.length, s.pcmReach),
                           s.place.step, s.place.reverse, pass);
}

// Two independent 64-bit hashes of a sample's rate, size and bytes: equal
// sounds meet in one bucket, and different ones practically never do, so the
// byte compare runs about once per equal pair.
struct SampleKey {
    uint64_t a = 1469598103934665603ull;  // FNV-1a
    uint64_t b = 0x9E3779B97F4A7C15ull;   // a multiply-rotate hash
    void add(uint8_t v) {
        a = (a ^ v) * 1099511628211ull;
        b = ((b ^ v) * 0xFF51AFD7ED558CCDull);
        b ^= b >> 29;
    }
    void add64(uint64_t v) {
        for (int i = 0; i < 8; ++i) add(static_cast<uint8_t>(v >> (8 * i)));
    }
    bool operator==(const SampleKey& o) const { return a == o.a && b == o.b; }
};
struct SampleKeyHash {
    size_t operator()(const SampleKey& k) const { return static_cast<size_t>(k.a ^ (k.b << 1)); }
};

// The key of a sample; false when its bytes could not all be read back.
bool sampleKey(TonepickRun& run, const SizedKitSample& s, SampleKey& key) {
    key.add64(s.sample->rate);
    key.add64(s.bytes);
    KitSampleReader reader = openKitSample(run, *s.sample, s.bytes);
    const uint8_t* bytes = nullptr;
    for (size_t n = nextKitPiece(reader, bytes); n != 0; n = nextKitPiece(reader, bytes))
        for (size_t i = 0; i < n; ++i) key.add(bytes[i]);
    return !reader.failed;
}

// The bytes of two samples of the same size, compared piece by piece.
bool sameKitBytes(TonepickRun& run, const SizedKitSample& x, const SizedKitSample& y) {
    KitSampleReader rx = openKitSample(run, *x.sample, x.bytes);
    KitSampleReader ry = openKitSample(run, *y.sample, y.bytes);
    const uint8_t* px = nullptr;
    const uint8_t* py = nullptr;
    size_t nx = 0, ny = 0;
    for (;;) {
        if (nx == 0) nx = nextKitPiece(rx, px);
        if (ny == 0) ny = nextKitPiece(ry, py);
        if (nx == 0 || ny == 0) return nx == ny && !rx.failed && !ry.failed;
        const size_t n = std::min(nx, ny);
        if (std::memcmp(px, py, n) != 0) return false;
        px += n;
        py += n;
        nx -= n;
        ny -= n;
    }
}

}  // namespace

uint64_t kitSampleBytes(TonepickRun& run, const KitSample& s, uint64_t& budget) {
    if (s.source == KitSource::kDirect) return s.length;
    StreamBankPass pass;
    if (!kitSamplePass(run, s, pass)) return 0;
    const uint64_t whole = pcmBankPassBytes(run.stream.dacStreams, pass);
    const uint64_t reached = std::min(whole, std::max(std::min(s.streamReach, s.length), s.pcmReach));
    if (s.length == 0 || whole - reached > budget) return reached;  // no stream play: as far as read
    budget -= whole - reached;
    return whole;
}

KitSampleReader openKitSample(TonepickRun& run, const KitSample& s, uint64_t count) {
    KitSampleReader r;
    r.run = &run;
    r.sample = &s;
    r.left = s.source == KitSource::kDirect ? std::min(count, s.length) : count;
    r.hasPass = s.source != KitSource::kDirect && kitSamplePass(run, s, r.pass);
    r.chunk.resize(kKitChunk);
    return r;
}

size_t nextKitPiece(KitSampleReader& r, const uint8_t*& bytes) {
    bytes = r.chunk.data();
    if (r.failed || r.left == 0) return 0;
    if (r.sample->source == KitSource::kDirect) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(r.chunk.size(), r.left));
        if (!readKitDirectBytes(r.run->kit, *r.sample, r.next, r.chunk.data(), take)) {
            r.failed = true;
            return 0;
        }
        r.next += take;
        r.left -= take;
        return take;
    }
    if (!r.hasPass) return 0;
    // Writes outside the bank give no bytes: the sample holds those inside.
    while (r.next < r.pass.writes) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(r.chunk.size(), r.pass.writes - r.next));
        uint64_t firstFound = 0;
        size_t found = readPcmBankPass(r.run->stream.dacStreams, r.run->reader.blocks, r.pass, r.next, take,
                                       r.chunk.data(), firstFound);
        r.next += take;
        if (found > r.left) found = static_cast<size_t>(r.left);
        if (found == 0) continue;
        r.left -= found;
        return found;
    }
    return 0;
}

std::string kitSamplePlace(const KitSample& s) {
    if (s.source == KitSource::kDirect) return "direct";
    char text[96];
    std::snprintf(text, sizeof text, "block %" PRIu32 " offset %" PRIu64, s.place.block, s.place.offset);
    std::string place = text;
    if (s.place.step != 1) place += " step " + std::to_string(s.place.step);
    if (s.place.reverse) place += " reverse";
    return place;
}

std::vector<uint32_t> findEqualKitSamples(TonepickRun& run, const std::vector<SizedKitSample>& samples) {
    std::vector<uint32_t> first(samples.size());
    // The samples first met with each key; several only when keys collide.
    std::unordered_map<SampleKey, std::vector<uint32_t>, SampleKeyHash> byKey;
    for (uint32_t i = 0; i < samples.size(); ++i) {
        first[i] = i;
        SampleKey key;
        if (!sampleKey(run, samples[i], key)) continue;
        std::vector<uint32_t>& bucket = byKey[key];
        for (const uint32_t j : bucket) {
            if (samples[j].sample->rate == samples[i].sample->rate && samples[j].bytes == samples[i].bytes &&
                sameKitBytes(run, samples[j], samples[i])) {
                first[i] = j;
                break;
            }
        }
        if (first[i] == i) bucket.push_back(i);
    }
    return first;
}
