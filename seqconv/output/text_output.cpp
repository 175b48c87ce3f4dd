#include "seqconv/output/text_output.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "common/output_files.h"

void printToFile(OutputFile& file, const char* format, ...) {
    // Every line this program writes fits the stack buffer; longer ones take the heap.
    char line[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length > 0 && static_cast<size_t>(length) < sizeof line) {
        file.write(line, static_cast<size_t>(length));
    } else if (length > 0) {
        std::vector<char> longLine(static_cast<size_t>(length) + 1);
        std::vsnprintf(longLine.data(), longLine.size(), format, again);
        file.write(longLine.data(), static_cast<size_t>(length));
    }
    va_end(again);
}
