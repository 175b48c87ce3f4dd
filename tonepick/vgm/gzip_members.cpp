#include "tonepick/vgm/gzip_members.h"

#include <algorithm>
#include <climits>

namespace {

// inflateInit2's window bits: the largest deflate window (32 KiB), plus 16 for
// the gzip wrapper only (a zlib or raw deflate stream counts as damage).
constexpr int kGzipWindowBits = MAX_WBITS + 16;

// Hands zlib the rest of the compressed window; false when the input is used up.
bool feedCompressed(GzipMembers& g) {
    BufferedInput& in = g.compressed;
    if (in.next == in.end && !refillInput(in)) return false;
    const size_t take = std::min<size_t>(static_cast<size_t>(in.end - in.next), UINT_MAX);
    // zlib reads through next_in and never writes there.
    g.stream.next_in = const_cast<Bytef*>(in.next);
    g.stream.avail_in = static_cast<uInt>(take);
    in.next += take;
    return true;
}

// After a member's trailer: the bytes zlib has not taken go back to the
// window, and the next two decide whether a further member starts.
void afterMember(GzipMembers& g) {
    BufferedInput& in = g.compressed;
    if (g.stream.avail_in != 0) in.next = g.stream.next_in;  // still inside the current window
    g.stream.avail_in = 0;
    if (!readInputByte(in, g.magic[0]) || !readInputByte(in, g.magic[1]) || !startsWithGzipMagic(g.magic)) {
        g.state = kGzipEnded;
        return;
    }
    ++g.member;
    if (inflateReset(&g.stream) != Z_OK) {
        g.state = kGzipDamaged;
        return;
    }
    // The magic may have spanned two windows: zlib takes it from our copy.
    g.stream.next_in = g.magic;
    g.stream.avail_in = sizeof g.magic;
}

}  // namespace

void beginGzipMembers(GzipMembers& g) {
    g.stream = z_stream{};
    g.state = kGzipMore;
    g.streamOpen = inflateInit2(&g.stream, kGzipWindowBits) == Z_OK;
    if (!g.streamOpen) g.state = kGzipDamaged;
}

size_t inflateGzipMembers(GzipMembers& g, uint8_t* out, size_t capacity) {
    size_t produced = 0;
    g.memberEnded = false;
    while (produced < capacity && g.state == kGzipMore && !g.memberEnded) {
        if (g.stream.avail_in == 0 && !feedCompressed(g)) {
            g.state = kGzipDamaged;  // cut short inside a member
            break;
        }
        const size_t room = std::min<size_t>(capacity - produced, UINT_MAX);
        g.stream.next_out = out + produced;
        g.stream.avail_out = static_cast<uInt>(room);
        const int result = inflate(&g.stream, Z_NO_FLUSH);
        // Whatever zlib wrote counts, also on a failed check.
        produced += room - g.stream.avail_out;
        if (result == Z_STREAM_END) {
            // zlib reports the end only after the member's CRC-32 and size matched.
            g.memberEnded = true;
            afterMember(g);
        } else if (result == Z_BUF_ERROR && g.stream.avail_in == 0) {
            // No progress without more input: the loop feeds it.
        } else if (result != Z_OK) {
            // Z_DATA_ERROR (bad header, data or check), Z_NEED_DICT (gzip has
            // no dictionaries), Z_MEM_ERROR: the data ends here.
            g.state = kGzipDamaged;
        }
    }
    return produced;
}

void endGzipMembers(GzipMembers& g) {
    if (g.streamOpen) inflateEnd(&g.stream);
    g.streamOpen = false;
}
