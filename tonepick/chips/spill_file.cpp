#include "tonepick/chips/spill_file.h"

#include <limits>

namespace {

bool seekTo(std::FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<long>::max())) return false;
    return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
}

}  // namespace

SpillFile::~SpillFile() {
    if (file_ != nullptr) std::fclose(file_);
}

bool SpillFile::append(const uint8_t* data, size_t n) {
    if (file_ == nullptr) {
        if (unavailable_) return false;
        file_ = std::tmpfile();
        if (file_ == nullptr) {
            unavailable_ = true;
            return false;
        }
        position_ = 0;
    }
    if ((position_ != size_ || lastWasRead_) && !seekTo(file_, size_)) return false;
    position_ = size_;
    lastWasRead_ = false;
    const size_t written = std::fwrite(data, 1, n, file_);
    position_ += written;
    if (written != n) return false;
    size_ += n;
    return true;
}

bool SpillFile::read(uint64_t offset, uint8_t* data, size_t n) {
    // Between a write and a read on one stream the C library needs a seek.
    if (file_ == nullptr || offset > size_ || size_ - offset < n || !seekTo(file_, offset)) {
        readFailed_ = true;
        return false;
    }
    lastWasRead_ = true;
    const size_t got = std::fread(data, 1, n, file_);
    position_ = offset + got;
    if (got != n) readFailed_ = true;
    return got == n;
}
