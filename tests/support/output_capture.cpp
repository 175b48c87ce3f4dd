#include "tests/support/output_capture.h"

#include <cstdlib>

OutputCapture::OutputCapture() { file_ = open_memstream(&buffer_, &size_); }

OutputCapture::~OutputCapture() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(buffer_);
}

std::string OutputCapture::text() {
    std::fflush(file_);
    return std::string(buffer_ == nullptr ? "" : buffer_, size_);
}
