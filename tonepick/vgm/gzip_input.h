#pragma once
// gzip input (.vgz files): when the first two bytes of an input are the gzip
// magic 1F 8B, its readers get the decompressed bytes through the same window
// as a plain file's, never the compressed ones. Nothing is written to disk and
// the decompressed data is never held whole: it passes through a ring of a few
// windows, which a second thread fills ahead of the reader so that inflating
// overlaps with the walk over the window before.
//
// Where the compressed data is damaged (gzip_members.h), the input ends after
// the last byte decompressed before the damage, as a plain file cut there
// would; the input's damageReport is called when a reader first asks for a
// byte past that point, and not at all when nothing reads that far.

#include <cstddef>

#include "tonepick/vgm/buffered_input.h"

constexpr size_t kGzipWindowSize = 256 * 1024;
constexpr size_t kGzipWindowCount = 4;  // held by the reader, ready, being filled, spare

enum GzipInflation {
    kInflateAhead = 0,     // a second thread fills the next windows (falls back to on demand)
    kInflateOnDemand = 1,  // the reader inflates each window when it needs it
};

// If `in` (just opened, nothing read yet) starts with the gzip magic, makes it
// deliver the decompressed bytes and returns true; otherwise leaves it as it
// is (its first window possibly loaded) and returns false. damageReport and
// damageContext are kept. The compressed source (file or memory) must stay
// valid until closeInput(in) or the end of `in`.
bool inflateIfGzip(BufferedInput& in, GzipInflation inflation = kInflateAhead);

// When `in` is gzip data: inflates the rest of the member that the reader's
// last byte came from (bounded by that member's compressed bytes; later
// members are not looked at), so that its CRC-32 and size are checked, and
// calls the damage report (once, as for a reader) when they or the data fail.
// The bytes inflated are discarded: the input is at its end afterwards.
// Nothing happens for other input.
void finishGzipMember(BufferedInput& in);

// refillInput for an input made by inflateIfGzip.
bool refillFromGzip(BufferedInput& in);
