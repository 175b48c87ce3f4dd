#pragma once
// Opening an input file named on the command line.

#include <cstdio>

// Opens `path` for reading in binary mode; nullptr when it cannot be opened or
// names a directory. A POSIX system lets fopen open a directory and fails
// every read afterwards, which would look like an empty input: the user named
// the wrong thing, so it is refused like a missing file.
std::FILE* openInputFile(const char* path);
