#pragma once
// Sequential input from a FILE* or from bytes in memory through one code path.
// A file is read in large chunks (no system call per command); memory is used
// in place as a single window; gzip data from either is decompressed into
// windows of its own (gzip_input.h). Readers take bytes from the window and
// call refillInput when it is empty.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

constexpr size_t kInputChunkSize = 64 * 1024;
constexpr uint64_t kUnknownInputSize = UINT64_MAX;  // a pipe, or a file that cannot seek

struct GzipInput;
struct GzipInputCloser {
    void operator()(GzipInput* gzip) const;  // stops its thread, then frees it
};

// Called once, when a reader first needs a byte past the intact part of
// damaged compressed input (the input ends there for the reader).
using InputDamageReport = void (*)(void* context);

struct BufferedInput {
    std::FILE* file = nullptr;           // source when reading a file
    const uint8_t* memory = nullptr;     // source when reading from memory
    size_t memorySize = 0;
    std::vector<uint8_t> chunk;          // file bytes of the current window
    const uint8_t* next = nullptr;       // window still to be consumed: [next, end)
    const uint8_t* end = nullptr;
    uint64_t unread = kUnknownInputSize;  // source bytes not yet in the window
    std::unique_ptr<GzipInput, GzipInputCloser> gzip;  // source when the input is gzip data
    InputDamageReport damageReport = nullptr;
    void* damageContext = nullptr;  // passed back to damageReport
};

// Prepare `in` to read `file` from its current position (the file stays open
// and owned by the caller), or `size` bytes at `data` (which must outlive `in`).
void openFileInput(BufferedInput& in, std::FILE* file);
void openMemoryInput(BufferedInput& in, const uint8_t* data, size_t size);

// Ends the reading: a decompressing thread is stopped and joined, so the
// caller may close the file afterwards. The input is exhausted from then on.
void closeInput(BufferedInput& in);

// Bytes still to come (window included), or kUnknownInputSize.
inline uint64_t inputBytesLeft(const BufferedInput& in) {
    if (in.unread == kUnknownInputSize) return kUnknownInputSize;
    return in.unread + static_cast<uint64_t>(in.end - in.next);
}

// Loads the next window; false when the source has no more bytes. The bytes
// of the previous window are gone: for gzip input another thread may be
// overwriting them already, so no pointer into a window may outlive it.
bool refillInput(BufferedInput& in);

// One byte; false at the end of the input.
inline bool readInputByte(BufferedInput& in, uint8_t& byte) {
    if (in.next == in.end && !refillInput(in)) return false;
    byte = *in.next++;
    return true;
}

// Up to `count` bytes: returns a pointer to them (inside the window when they
// are contiguous, else copied into `scratch`, which holds at least `count`
// bytes) and sets `got` to the number available, less than `count` only at the
// end of the input.
const uint8_t* readInputBytes(BufferedInput& in, size_t count, uint8_t* scratch, size_t& got);

// Skips up to `count` bytes; returns how many were skipped.
size_t skipInputBytes(BufferedInput& in, size_t count);
