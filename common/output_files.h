#pragma once
// Where the programs put their output files. The disk implementation is what
// the programs use; the memory implementation lets tests and fuzzers run whole
// conversions in one process and inspect every file written, including the
// failure cases (missing directory, refused names, short writes).

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// One output file, open for writing. Closed when destroyed.
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
};

// Files kept in memory, keyed by path. With requireDirectories set, a file can
// only be created inside the current directory ("" parent) or a directory that
// was created through createDirectory or listed in `directories` beforehand,
// which mirrors how the disk behaves when an output directory is missing.
class MemoryFileSystem : public OutputFileSystem {
public:
    std::map<std::string, std::vector<uint8_t>> files;
    std::set<std::string> directories;
    std::vector<std::string> createdDirectories;  // every createDirectory call, in order
    std::vector<std::string> creationOrder;       // every successful create, in order
    std::set<std::string> refusedPaths;           // create() of these fails
    std::set<std::string> shortWritePaths;        // writes to these accept nothing
    std::set<std::string> refusedDirectories;     // createDirectory of these fails
    bool requireDirectories = false;
    // Refuse every create once this many files exist (-1: no limit).
    long maxFiles = -1;

    std::unique_ptr<OutputFile> create(const std::string& path) override;
    void createDirectory(const std::string& path) override;
    bool isDirectory(const std::string& path) const override;

    bool has(const std::string& path) const { return files.count(path) != 0; }
    const std::vector<uint8_t>& at(const std::string& path) const { return files.at(path); }
};
