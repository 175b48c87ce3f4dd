#include "seqconv/seqconv_options.h"

#include <cstring>

#include "common/instrument_formats/instrument_formats.h"

bool parseSeqconvOptions(int first, int argc, const char* const argv[], SeqconvOptions& options, std::FILE* out) {
    bool extensionGiven = false;
    for (int i = first; i < argc; i += 2) {
        const char* word = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(word, "-p") == 0) {
            if (value == nullptr) {
                std::fprintf(out, "Error: instrument type expected in command line\n\n");
                return false;
            }
            const InstrumentType type = instrumentTypeByName(value);
            if (type == kInstrumentUnknown) {
                std::fprintf(out, "Error: unknown instrument type \"%s\"\n\n", value);
                return false;
            }
            options.patchFormat = type;
            options.patchFiles = true;
        } else if (std::strcmp(word, "-pext") == 0) {
            if (value == nullptr) {
                std::fprintf(out, "Error: extension expected in command line\n\n");
                return false;
            }
            // "-pext .tfi" means the same as "-pext tfi": the dot is added to the name anyway.
            options.patchExtension = value[0] == '.' ? value + 1 : value;
            options.patchFiles = true;
            extensionGiven = true;
        } else if (std::strcmp(word, "-d") == 0) {
            if (value == nullptr) {
                std::fprintf(out, "Error: sample bank expected in command line\n\n");
                return false;
            }
            options.sampleBank = value;
        } else {
            std::fprintf(out, "Error: unknown command line option \"%s\"\n\n", word);
            return false;
        }
    }
    if (!extensionGiven) options.patchExtension = instrumentTypeName(options.patchFormat);
    return true;
}
