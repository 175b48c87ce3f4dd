#pragma once
// Output files kept in memory, keyed by path, with every failure a disk can
// show on demand: a refused create, a short write, a failed seek, flush or
// close. Tests and fuzzers run whole conversions through it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/output_files.h"
#include "tests/support/memory_file_system.h"

// With requireDirectories set, a file can only be created inside the current
// directory ("" parent) or a directory that was created through
// createDirectory or listed in `directories` beforehand, which mirrors how the
// disk behaves when an output directory is missing.
class MemoryFileSystem : public OutputFileSystem {
public:
    std::map<std::string, std::vector<uint8_t>> files;
    std::set<std::string> directories;
    std::vector<std::string> createdDirectories;  // every createDirectory call, in order
    std::vector<std::string> creationOrder;       // every successful create, in order
    std::vector<std::string> removed;             // every remove call, in order
    std::set<std::string> refusedPaths;           // create() of these fails
    std::set<std::string> shortWritePaths;        // writes to these accept nothing
    std::map<std::string, size_t> writeLimits;    // these take this many bytes in all, then nothing
    std::set<std::string> failedSeekPaths;        // seek() on these fails
    std::set<std::string> failedClosePaths;       // flush() and close() of these fail
    std::set<std::string> refusedDirectories;     // createDirectory of these fails
    std::set<std::string> openPaths;              // created and not yet closed
    bool requireDirectories = false;
    // Refuse every create once this many files exist (-1: no limit).
    long maxFiles = -1;

    std::unique_ptr<OutputFile> create(const std::string& path) override;
    void createDirectory(const std::string& path) override;
    bool isDirectory(const std::string& path) const override;
    void remove(const std::string& path) override;
    // The files whose path is joinOutputPath(dir, name) for a name without a separator.
    std::vector<std::string> listRegularFiles(const std::string& dir) const override;
    bool readFile(const std::string& path, std::vector<uint8_t>& bytes) const override;

    bool has(const std::string& path) const { return files.count(path) != 0; }
    const std::vector<uint8_t>& at(const std::string& path) const { return files.at(path); }
};
