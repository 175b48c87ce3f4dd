#include "tonepick/vgm/buffered_input.h"

#include <algorithm>
#include <cstring>

#include "tonepick/vgm/gzip_input.h"

void openFileInput(BufferedInput& in, std::FILE* file) {
    in = BufferedInput{};
    in.file = file;
    // The size lets a data block take exactly the memory its bytes need.
    const long start = std::ftell(file);
    if (start >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (std::fseek(file, start, SEEK_SET) == 0 && size >= start) {
            in.unread = static_cast<uint64_t>(size - start);
        } else {
            in.unread = kUnknownInputSize;
        }
    }
    if (in.unread == kUnknownInputSize) std::clearerr(file);
}

void openMemoryInput(BufferedInput& in, const uint8_t* data, size_t size) {
    in = BufferedInput{};
    in.memory = data;
    in.memorySize = size;
    in.unread = size;
}

void closeInput(BufferedInput& in) {
    in.gzip.reset();
    in.file = nullptr;
    in.memory = nullptr;
    in.memorySize = 0;
    in.next = in.end = nullptr;
    in.unread = 0;
}

bool refillInput(BufferedInput& in) {
    if (in.gzip != nullptr) return refillFromGzip(in);
    if (in.file != nullptr) {
        in.chunk.resize(kInputChunkSize);
        const size_t got = std::fread(in.chunk.data(), 1, in.chunk.size(), in.file);
        in.next = in.chunk.data();
        in.end = in.next + got;
        // A file that grew or shrank since it was opened only loses the hint.
        if (in.unread != kUnknownInputSize) in.unread = got <= in.unread && got != 0 ? in.unread - got : 0;
        return got != 0;
    }
    // Memory is a single window: handed out once, then the input is exhausted.
    if (in.memory == nullptr || in.memorySize == 0) return false;
    in.next = in.memory;
    in.end = in.memory + in.memorySize;
    in.memory = nullptr;
    in.memorySize = 0;
    in.unread = 0;
    return true;
}

const uint8_t* readInputBytes(BufferedInput& in, size_t count, uint8_t* scratch, size_t& got) {
    if (static_cast<size_t>(in.end - in.next) >= count) {
        const uint8_t* bytes = in.next;
        in.next += count;
        got = count;
        return bytes;
    }
    got = 0;
    while (got < count) {
        if (in.next == in.end && !refillInput(in)) break;
        const size_t take = std::min(count - got, static_cast<size_t>(in.end - in.next));
        std::memcpy(scratch + got, in.next, take);
        in.next += take;
        got += take;
    }
    return scratch;
}

size_t skipInputBytes(BufferedInput& in, size_t count) {
    size_t skipped = 0;
    while (skipped < count) {
        if (in.next == in.end && !refillInput(in)) break;
        const size_t take = std::min(count - skipped, static_cast<size_t>(in.end - in.next));
        in.next += take;
        skipped += take;
    }
    return skipped;
}
