#pragma once
// Where the programs put their output files. The disk implementation is what
// the programs use; tests and fuzzers substitute a file system in memory
// (tests/support/memory_file_system.h) to run whole conversions in one
// process and inspect every file written, including the failure cases.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One output file, open for writing. Closed when destroyed, if not before.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Appends at the current position; returns the number of bytes accepted.
    virtual size_t write(const void* data, size_t size) = 0;
    // Moves the write position (used to patch a header after the body).
    virtual bool seek(uint64_t offset) = 0;
    // Hands on what is still buffered; false when it did not reach the file.
    // A full disk often shows only here: small writes just fill a buffer.
    virtual bool flush() { return true; }
    // Flushes and closes the file; false when either failed. Nothing may be
    // written afterwards. Called at most once.
    virtual bool close() { return flush(); }
};

class OutputFileSystem {
public:
    virtual ~OutputFileSystem() = default;
    // Creates (or truncates) the file; nullptr when it cannot be created.
    virtual std::unique_ptr<OutputFile> create(const std::string& path) = 0;
    // Creates one directory level; any failure (it exists, no permission) is ignored.
    virtual void createDirectory(const std::string& path) = 0;
    // Whether `path` names a directory (symbolic links followed).
    virtual bool isDirectory(const std::string& path) const = 0;
    // Deletes a file that was created; failures are ignored.
    virtual void remove(const std::string& path) = 0;
    // Names (not paths) of the regular files directly inside `dir` ("" is the
    // current directory), symbolic links followed, in no particular order;
    // empty when the directory cannot be read.
    virtual std::vector<std::string> listRegularFiles(const std::string& dir) const = 0;
    // Reads back a whole file written earlier (a pack gathers its songs'
    // samples this way); false when it cannot be read, or the file system
    // cannot read (the default).
    virtual bool readFile(const std::string& /*path*/, std::vector<uint8_t>& /*bytes*/) const { return false; }
};

// Joins an output directory and a file name with the platform's separator.
// An empty directory means the current one: the bare name is returned.
// A directory that already ends in the separator is used as given.
std::string joinOutputPath(const std::string& dir, const std::string& name);

// Real files through the C library's buffered streams, opened in binary mode.
class DiskFileSystem : public OutputFileSystem {
public:
    std::unique_ptr<OutputFile> create(const std::string& path) override;
    void createDirectory(const std::string& path) override;
    bool isDirectory(const std::string& path) const override;
    void remove(const std::string& path) override;
    std::vector<std::string> listRegularFiles(const std::string& dir) const override;
    bool readFile(const std::string& path, std::vector<uint8_t>& bytes) const override;
};
