#pragma once
// Bytes that may outgrow memory on hostile input (event lists, DAC captures)
// are moved in large blocks to an anonymous temporary file and read back in
// order when the output is written. The file is created at the first append
// and removed by the system when it is closed.

#include <cstddef>
#include <cstdint>
#include <cstdio>

class SpillFile {
public:
    SpillFile() = default;
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;
    ~SpillFile();

    // Appends n bytes at the end; false when no temporary file can be made or
    // the write fails (the caller then keeps the bytes in memory).
    bool append(const uint8_t* data, size_t n);
    // Reads n bytes at offset (which must lie within size()); false on failure.
    bool read(uint64_t offset, uint8_t* data, size_t n);
    uint64_t size() const { return size_; }
    // Some read failed: what was read back is incomplete.
    bool readFailed() const { return readFailed_; }
    // Empties the file for reuse; its storage is overwritten by later appends.
    void clear() { size_ = 0; }

private:
    std::FILE* file_ = nullptr;
    bool unavailable_ = false;  // tmpfile() failed once: do not try again
    uint64_t size_ = 0;
    uint64_t position_ = 0;     // where the stream stands, to skip needless seeks
    bool lastWasRead_ = false;  // a write after a read needs a seek in between
    bool readFailed_ = false;
};
