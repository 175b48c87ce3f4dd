#pragma once
// Both programs print their usage text with exit status 0 when asked for it:
// no arguments at all, or the single argument -h or --help. Any other wrong
// command line is an error.

#include <cstring>

inline bool asksForHelp(int argc, const char* const argv[]) {
    if (argc <= 1) return true;
    return argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0);
}
