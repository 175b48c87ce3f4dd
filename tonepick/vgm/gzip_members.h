#pragma once
// Decompression of gzip data (RFC 1952), the format of .vgz files, from a
// BufferedInput of compressed bytes into a caller's buffer, piece by piece.
//
// gzip data is one member or several concatenated (what `cat a.gz b.gz`
// gives); each member has its own header, deflate data and CRC-32 trailer.
// After a member, a further one starts only where the next two bytes are the
// magic 1F 8B; anything else there (padding, a tag some tool appended) ends
// the data cleanly. Damage ends it too, but is told apart: a bad header, bad
// deflate data, a failed check or data cut short. Everything decompressed
// before the damage is delivered, the bytes of a member whose check fails
// included: they are what the writer compressed in all likelihood, and a
// plain file cut at the same point would give them too.

#include <zlib.h>

#include <cstddef>
#include <cstdint>

#include "tonepick/vgm/buffered_input.h"

enum GzipMembersState {
    kGzipMore = 0,     // more decompressed bytes may follow
    kGzipEnded = 1,    // the last member ended cleanly
    kGzipDamaged = 2,  // the data is damaged or cut short after the bytes delivered
};

// Must stay where it was begun: zlib's state points back at `stream`.
struct GzipMembers {
    BufferedInput compressed;  // compressed bytes, standing at the first member's magic
    z_stream stream{};
    bool streamOpen = false;   // inflateInit2 succeeded; endGzipMembers releases it
    uint8_t magic[2] = {};     // a further member's magic, read ahead to recognise it
    int state = kGzipMore;
    uint64_t member = 0;       // serial of the member being inflated, from 0
    bool memberEnded = false;  // the last call reached the end of its member, whose check passed
};

// Starts decompressing g.compressed. When zlib cannot start (out of memory)
// the data counts as damaged from its first byte.
void beginGzipMembers(GzipMembers& g);

// Decompresses up to `capacity` bytes into `out` and returns how many, all of
// member g.member as it was on the call: fewer than `capacity` when g.state is
// no longer kGzipMore or when the member ended (g.memberEnded), so that a
// caller knows which member each byte came from.
size_t inflateGzipMembers(GzipMembers& g, uint8_t* out, size_t capacity);

// Releases zlib's state (the compressed input stays with the caller's source).
void endGzipMembers(GzipMembers& g);

// True when `bytes` (at least two) begin with the gzip magic 1F 8B.
inline bool startsWithGzipMagic(const uint8_t* bytes) { return bytes[0] == 0x1F && bytes[1] == 0x8B; }
