#pragma once
// gzip members for tests and benchmark inputs, made with zlib's deflate (the
// reader under test uses inflate; the gzip tool makes the same format).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// One complete gzip member holding `data`. Level 0 stores the bytes
// uncompressed inside deflate's framing, so a compressed offset maps to a
// known decompressed offset; 9 compresses best.
std::vector<uint8_t> gzipMember(const std::vector<uint8_t>& data, int level = 6);

// Streams one gzip member into an open file, fed in pieces: for inputs too
// large to hold. Each call of gzipFileAppend adds `size` bytes of data.
struct GzipFileWriter {
    std::FILE* file = nullptr;
    void* stream = nullptr;  // zlib's z_stream, kept out of this header
    bool ok = true;
};
bool gzipFileBegin(GzipFileWriter& w, std::FILE* file, int level = 6);
bool gzipFileAppend(GzipFileWriter& w, const uint8_t* data, size_t size);
bool gzipFileEnd(GzipFileWriter& w);  // writes the trailer; the file stays open
