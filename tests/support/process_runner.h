#pragma once
// Runs a built program as a child process for end-to-end tests and captures
// its standard output and exit code.

#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;   // -1 when the process did not exit normally
    std::string output;  // everything written to standard output
};

// Runs `program` with `args` in working directory `cwd` (empty: unchanged).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& cwd = "");

// A fresh, empty directory under the system's temporary directory; removed
// with its contents when the object is destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Whole file into memory; empty when it cannot be read.
std::vector<unsigned char> readWholeFile(const std::string& path);
bool writeWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);
