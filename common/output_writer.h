#pragma once
// The one way both programs write an output file. Every step that can fail
// (create, write, seek, flush, close) is checked, and the first failure after
// the create sticks: later writes go on (the file is left as far as it got)
// but the file counts as not written. Messages go to the run's report:
//   "Error: Can't create file \"%s\"\n"  when the file cannot be created,
//   "Error: Can't write file \"%s\"\n"   once, when a file with a failure is closed.
// Either failure also sets the run's flag `anyFailed`, so that the program
// can end with its "output failed" status after doing all its other work.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "common/output_files.h"

enum class OutputStatus {
    kWritten,     // created, every byte written, closed
    kNotCreated,  // the create was refused
    kNotWritten,  // created, but a later step failed
};

// A file being written. It is itself an OutputFile, so the format writers
// take it like any other file; the writer underneath sees only the calls.
class OutputWriter final : public OutputFile {
public:
    // Creates `path` through `files`, reporting a refusal on `messages` at once.
    OutputWriter(OutputFileSystem& files, std::string path, std::FILE* messages, bool& anyFailed);
    ~OutputWriter() override { finish(); }
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    bool created() const { return created_; }
    // No step has failed so far (false when the file was never created).
    bool ok() const { return created() && !failed_; }
    const std::string& path() const { return path_; }

    size_t write(const void* data, size_t size) override;
    bool seek(uint64_t offset) override;
    bool flush() override;
    // Same as finish(); true when the file was written whole.
    bool close() override { return finish() == OutputStatus::kWritten; }

    // Marks the file as not written whole, for a writer that knows it has
    // less to give than the file should hold.
    void markIncomplete() { failed_ = true; }

    // Flushes and closes the file (once), prints the write failure if there
    // was one and returns the outcome; later calls return it again.
    OutputStatus finish();

private:
    std::unique_ptr<OutputFile> file_;
    std::string path_;
    std::FILE* messages_;
    bool& anyFailed_;
    bool created_ = false;
    bool failed_ = false;
    bool finished_ = false;
    OutputStatus status_ = OutputStatus::kNotCreated;
};
