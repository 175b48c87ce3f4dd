#include "tests/support/gzip_writer.h"

#include <zlib.h>

#include <climits>

namespace {

constexpr int kGzipWindowBits = MAX_WBITS + 16;  // deflate window, gzip wrapper
constexpr int kMemoryLevel = 8;                   // zlib's default

// Runs deflate over the stream's input with `flush`, handing each full
// output buffer to `sink`; false on a zlib error.
template <typename Sink>
bool pump(z_stream& s, int flush, Sink&& sink) {
    uint8_t out[64 * 1024];
    for (;;) {
        s.next_out = out;
        s.avail_out = sizeof out;
        const int r = deflate(&s, flush);
        if (r == Z_STREAM_ERROR) return false;
        const size_t have = sizeof out - s.avail_out;
        if (have != 0 && !sink(out, have)) return false;
        if (flush == Z_FINISH ? r == Z_STREAM_END : (s.avail_in == 0 && s.avail_out != 0)) return true;
    }
}

}  // namespace

std::vector<uint8_t> gzipMember(const std::vector<uint8_t>& data, int level) {
    std::vector<uint8_t> out;
    z_stream s{};
    if (deflateInit2(&s, level, Z_DEFLATED, kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK) return out;
    s.next_in = const_cast<Bytef*>(data.data());
    s.avail_in = static_cast<uInt>(data.size());
    pump(s, Z_FINISH, [&out](const uint8_t* bytes, size_t n) {
        out.insert(out.end(), bytes, bytes + n);
        return true;
    });
    deflateEnd(&s);
    return out;
}

bool gzipFileBegin(GzipFileWriter& w, std::FILE* file, int level) {
    auto* s = new z_stream{};
    w = GzipFileWriter{file, s, true};
    w.ok = deflateInit2(s, level, Z_DEFLATED, kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    return w.ok;
}

bool gzipFileAppend(GzipFileWriter& w, const uint8_t* data, size_t size) {
    auto& s = *static_cast<z_stream*>(w.stream);
    auto write = [&w](const uint8_t* bytes, size_t n) { return std::fwrite(bytes, 1, n, w.file) == n; };
    while (w.ok && size > 0) {
        const size_t take = size < UINT_MAX ? size : UINT_MAX;
        s.next_in = const_cast<Bytef*>(data);
        s.avail_in = static_cast<uInt>(take);
        w.ok = pump(s, Z_NO_FLUSH, write);
        data += take;
        size -= take;
    }
    return w.ok;
}

bool gzipFileEnd(GzipFileWriter& w) {
    auto* s = static_cast<z_stream*>(w.stream);
    if (s == nullptr) return false;
    s->avail_in = 0;
    if (w.ok) w.ok = pump(*s, Z_FINISH, [&w](const uint8_t* bytes, size_t n) {
        return std::fwrite(bytes, 1, n, w.file) == n;
    });
    deflateEnd(s);
    delete s;
    w.stream = nullptr;
    return w.ok;
}
