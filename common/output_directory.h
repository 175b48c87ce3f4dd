#pragma once
// The output directory of a run: created once, at the first output that needs
// it, and reported once when it cannot be made.

#include <cstdio>
#include <string>

class OutputFileSystem;

struct OutputDirectoryState {
    bool attempted = false;  // creation was tried (or not needed, for "")
    bool ready = true;       // the path is a directory after that attempt
};

// The first call creates `dir` (one level) unless it exists and, when the path
// is not a directory afterwards (missing parent, a file in the way, a name the
// system refuses), prints "Error: Can't create directory \"%s\"\n" with `dir`
// as given. Later calls only return the first call's answer. An empty `dir` is
// the current directory: nothing is created or printed. Returns whether files
// can be created inside `dir`, as far as its existence goes (permissions are
// not examined).
bool prepareOutputDirectory(OutputDirectoryState& state, const std::string& dir, OutputFileSystem& files,
                            std::FILE* out);
