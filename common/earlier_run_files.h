#pragma once
// Files an earlier run left behind. A second run into a folder overwrites only
// the files it writes again: with fewer songs, samples or instruments than
// before, the rest of the old run stays beside the new one and looks like part
// of it. The tools never delete them, but they say so in one line.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/output_files.h"

// Passes every call on to another file system and remembers the path of every
// file a run created or tried to create, refused or not.
class RecordingFileSystem final : public OutputFileSystem {
public:
    explicit RecordingFileSystem(OutputFileSystem& inner) : inner_(inner) {}

    std::unique_ptr<OutputFile> create(const std::string& path) override;
    void createDirectory(const std::string& path) override { inner_.createDirectory(path); }
    bool isDirectory(const std::string& path) const override { return inner_.isDirectory(path); }
    void remove(const std::string& path) override { inner_.remove(path); }
    std::vector<std::string> listRegularFiles(const std::string& dir) const override {
        return inner_.listRegularFiles(dir);
    }
    bool readFile(const std::string& path, std::vector<uint8_t>& bytes) const override {
        return inner_.readFile(path, bytes);
    }

    const std::set<std::string>& attemptedPaths() const { return attempted_; }

private:
    OutputFileSystem& inner_;
    std::set<std::string> attempted_;
};

struct EarlierRunFiles {
    size_t count = 0;
    std::string firstName;  // the first in byte order
};

// The regular files of `dir` whose names `isOutputName` accepts and whose path
// (joinOutputPath(dir, name)) is not among `attemptedPaths`.
EarlierRunFiles findEarlierRunFiles(const OutputFileSystem& files, const std::string& dir,
                                    const std::set<std::string>& attemptedPaths,
                                    bool (*isOutputName)(std::string_view name));

// Nothing for none; else, with `dir` as the user gave it,
//   "Warning: 1 file of an earlier run remains in \"DIR\" (NAME)\n" or
//   "Warning: N files of an earlier run remain in \"DIR\" (e.g. NAME)\n".
void printEarlierRunWarning(std::FILE* out, const std::string& dir, const EarlierRunFiles& found);
