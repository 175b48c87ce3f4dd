#pragma once
// Collects what a run prints: a FILE* backed by memory (open_memstream) to use
// as run.out, read back as a string.

#include <cstdio>
#include <string>

class OutputCapture {
public:
    OutputCapture();
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    std::FILE* file() const { return file_; }
    // Everything printed so far.
    std::string text();

private:
    std::FILE* file_ = nullptr;
    char* buffer_ = nullptr;
    size_t size_ = 0;
};
