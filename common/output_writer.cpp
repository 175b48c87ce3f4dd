#include "common/output_writer.h"

#include <utility>

OutputWriter::OutputWriter(OutputFileSystem& files, std::string path, std::FILE* messages, bool& anyFailed)
    : file_(files.create(path)), path_(std::move(path)), messages_(messages), anyFailed_(anyFailed) {
    created_ = file_ != nullptr;
    if (!created_) {
        std::fprintf(messages_, "Error: Can't create file \"%s\"\n", path_.c_str());
        anyFailed_ = true;
        finished_ = true;
    }
}

size_t OutputWriter::write(const void* data, size_t size) {
    if (file_ == nullptr || size == 0) return 0;
    const size_t accepted = file_->write(data, size);
    if (accepted != size) failed_ = true;
    return accepted;
}

bool OutputWriter::seek(uint64_t offset) {
    if (file_ == nullptr) return false;
    const bool moved = file_->seek(offset);
    if (!moved) failed_ = true;
    return moved;
}

bool OutputWriter::flush() {
    if (file_ == nullptr) return false;
    const bool flushed = file_->flush();
    if (!flushed) failed_ = true;
    return flushed;
}

OutputStatus OutputWriter::finish() {
    if (finished_) return status_;
    finished_ = true;
    if (!file_->close()) failed_ = true;
    file_.reset();
    if (failed_) {
        std::fprintf(messages_, "Error: Can't write file \"%s\"\n", path_.c_str());
        anyFailed_ = true;
        status_ = OutputStatus::kNotWritten;
    } else {
        status_ = OutputStatus::kWritten;
    }
    return status_;
}
