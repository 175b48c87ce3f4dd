#include "seqconv/output_names.h"

#include <algorithm>

namespace {

constexpr size_t kMinSongDigits = 3;  // "%03d"

bool isSongNumber(std::string_view digits) {
    if (digits.size() < kMinSongDigits) return false;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    // Zero padding only fills up to three digits: "0123" is never written.
    return digits.size() == kMinSongDigits || digits.front() != '0';
}

bool isSongFile(std::string_view name) {
    for (const std::string_view extension : {".mid", ".txt", ".sfz", ".sf2"}) {
        if (name.size() > extension.size() && name.ends_with(extension))
            return isSongNumber(name.substr(0, name.size() - extension.size()));
    }
    return false;
}

}  // namespace

bool isSeqconvOutputName(std::string_view name) {
    if (name.starts_with("patch_")) return true;
    if (name.starts_with("sample_") && name.ends_with(".wav")) return true;
    return name == "samples.txt" || isSongFile(name);
}
