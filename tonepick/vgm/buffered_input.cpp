#include "tonepick/vgm/buffered_input.h"

#include <algorithm>
#include <cstring>

void openFileInput(BufferedInput& in, std::FILE* file) {
    in = BufferedInput{};
    in.file = file;
}

void openMemoryInput(BufferedInput& in, const uint8_t* data, size_t size) {
    in = BufferedInput{};
    in.memory = data;
    in.memorySize = size;
}

bool refillInput(BufferedInput& in) {
    if (in.file != nullptr) {
        in.chunk.resize(kInputChunkSize);
        const size_t got = std::fread(in.chunk.data(), 1, in.chunk.size(), in.file);
        in.next = in.chunk.data();
        in.end = in.next + got;
        return got != 0;
    }
    // Memory is a single window: handed out once, then the input is exhausted.
    if (in.memory == nullptr || in.memorySize == 0) return false;
    in.next = in.memory;
    in.end = in.memory + in.memorySize;
    in.memory = nullptr;
    in.memorySize = 0;
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
