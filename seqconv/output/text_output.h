#pragma once
// printf-style lines into an output file: the song text files are written
// through the run's OutputFileSystem like every other output.

#include <cstdint>

class OutputFile;

// Formats like std::printf and writes the result to `file` in one call.
void printToFile(OutputFile& file, const char* format, ...) __attribute__((format(printf, 2, 3)));
