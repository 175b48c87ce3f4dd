#include "tonepick/vgm/gzip_input.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "tonepick/vgm/gzip_members.h"

// The windows form a ring. The worker fills them in ring order and hands each
// over by counting it in `filled`; the reader holds one at a time (counted
// too, so the worker never overwrites the bytes under the reader's window) and
// gives it back on its next refill. A window is touched by one thread at a
// time: by the worker while free, by the reader from hand-over to give-back,
// with the mutex ordering the two.
struct GzipWindow {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    uint64_t member = 0;       // the gzip member its bytes come from
    bool memberEnded = false;  // its last byte is that member's last (the check passed)
};

struct GzipInput {
    GzipMembers members;  // the worker's alone while it runs
    GzipWindow windows[kGzipWindowCount];

    std::mutex lock;
    std::condition_variable changed;
    // Under `lock`:
    size_t filled = 0;      // windows handed over and not yet given back
    bool finished = false;  // the worker has handed over its last window
    bool damaged = false;   // ... and the data ended in damage
    bool stopping = false;  // the reader is closing the input

    // The reader's alone:
    size_t readIndex = 0;   // the window the reader holds or gets next
    bool holding = false;   // the reader holds windows[readIndex]
    bool damageReported = false;
    uint64_t heldMember = 0;   // the member of the window the reader holds
    bool heldMemberEnded = false;
    bool holdsAny = false;     // the reader has been handed a window
    std::thread worker;     // not joinable when inflating on demand
};

namespace {

void inflateAhead(GzipInput& g) {
    size_t writeIndex = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(g.lock);
            g.changed.wait(hold, [&g] { return g.stopping || g.filled < kGzipWindowCount; });
            if (g.stopping) return;
        }
        GzipWindow& window = g.windows[writeIndex];
        window.member = g.members.member;
        window.size = inflateGzipMembers(g.members, window.bytes.get(), kGzipWindowSize);
        window.memberEnded = g.members.memberEnded;
        const bool last = g.members.state != kGzipMore;
        {
            std::lock_guard<std::mutex> hold(g.lock);
            if (window.size != 0) ++g.filled;
            g.finished = last;
            g.damaged = g.members.state == kGzipDamaged;
        }
        g.changed.notify_all();
        if (last) return;
        // An empty member gives an empty window: the next one goes to the same place.
        if (window.size != 0) writeIndex = (writeIndex + 1) % kGzipWindowCount;
    }
}

// The reader's next window when there is no worker: inflated right now.
bool refillOnDemand(GzipInput& g, BufferedInput& in) {
    GzipWindow& window = g.windows[0];
    do {
        if (g.members.state != kGzipMore) return false;
        window.member = g.members.member;
        window.size = inflateGzipMembers(g.members, window.bytes.get(), kGzipWindowSize);
        window.memberEnded = g.members.memberEnded;
        g.damaged = g.members.state == kGzipDamaged;
    } while (window.size == 0);  // past empty members
    g.heldMember = window.member;
    g.heldMemberEnded = window.memberEnded;
    g.holdsAny = true;
    in.next = window.bytes.get();
    in.end = in.next + window.size;
    return true;
}

bool refillAhead(GzipInput& g, BufferedInput& in) {
    std::unique_lock<std::mutex> hold(g.lock);
    if (g.holding) {
        g.holding = false;
        --g.filled;
        g.readIndex = (g.readIndex + 1) % kGzipWindowCount;
        g.changed.notify_all();
    }
    g.changed.wait(hold, [&g] { return g.filled != 0 || g.finished; });
    if (g.filled == 0) return false;
    g.holding = true;
    const GzipWindow& window = g.windows[g.readIndex];
    g.heldMember = window.member;
    g.heldMemberEnded = window.memberEnded;
    g.holdsAny = true;
    in.next = window.bytes.get();
    in.end = in.next + window.size;
    return true;
}

}  // namespace

void GzipInputCloser::operator()(GzipInput* gzip) const {
    if (gzip->worker.joinable()) {
        {
            std::lock_guard<std::mutex> hold(gzip->lock);
            gzip->stopping = true;
        }
        gzip->changed.notify_all();
        gzip->worker.join();
    }
    endGzipMembers(gzip->members);
    delete gzip;
}

bool inflateIfGzip(BufferedInput& in, GzipInflation inflation) {
    if (in.gzip != nullptr) return false;  // one level: decompressed bytes are never inflated again
    if (in.next == in.end && !refillInput(in)) return false;
    // The first window holds the whole input or at least a full chunk of it.
    if (in.end - in.next < 2 || !startsWithGzipMagic(in.next)) return false;

    std::unique_ptr<GzipInput, GzipInputCloser> gzip(new GzipInput);
    for (GzipWindow& window : gzip->windows) window.bytes = std::make_unique_for_overwrite<uint8_t[]>(kGzipWindowSize);
    const InputDamageReport report = in.damageReport;
    void* const context = in.damageContext;
    gzip->members.compressed = std::move(in);  // a moved vector keeps its bytes: the window stays valid
    beginGzipMembers(gzip->members);

    in = BufferedInput{};
    in.unread = kUnknownInputSize;  // only the end of the data tells its size
    in.damageReport = report;
    in.damageContext = context;
    if (inflation == kInflateAhead) {
        try {
            gzip->worker = std::thread(inflateAhead, std::ref(*gzip));
        } catch (const std::system_error&) {
            // No thread to be had: the reader inflates on demand, at the same result.
        }
    }
    in.gzip = std::move(gzip);
    return true;
}

bool refillFromGzip(BufferedInput& in) {
    GzipInput& g = *in.gzip;
    if (g.worker.joinable() ? refillAhead(g, in) : refillOnDemand(g, in)) return true;
    in.next = in.end;
    bool damaged = false;
    {
        std::lock_guard<std::mutex> hold(g.lock);
        damaged = g.damaged;
    }
    if (damaged && !g.damageReported) {
        g.damageReported = true;
        if (in.damageReport != nullptr) in.damageReport(in.damageContext);
    }
    return false;
}

void finishGzipMember(BufferedInput& in) {
    if (in.gzip == nullptr) return;
    GzipInput& g = *in.gzip;
    if (!g.holdsAny) return;  // nothing was read: any damage was reported already
    const uint64_t member = g.heldMember;
    // Each window holds bytes of one member only, so the windows after the
    // reader's are read past until the one that ends its member (zlib checked
    // it then) or the end of the data, which reports damage as for a reader.
    while (!g.heldMemberEnded && g.heldMember == member) {
        in.next = in.end;
        if (!refillFromGzip(in)) break;
    }
    in.next = in.end;
}
