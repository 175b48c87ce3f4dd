#include "tonepick/instruments/wav_file.h"

#include <charconv>

#include "common/output_files.h"

std::string wavFileName(int32_t number) {
    // Built with to_chars: a log can stream tens of thousands of samples, and
    // the format parser would cost more than the rest of a short sample's
    // bookkeeping.
    char digits[16];
    const size_t digitCount = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, number).ptr - digits);
    std::string name = "sample_";
    if (digitCount < 3) name.append(3 - digitCount, '0');
    name.append(digits, digitCount);
    name += ".wav";
    return name;
}

bool writeWavFile(OutputFile& file, DacSample& sample) {
    uint8_t header[kWavHeaderSize];
    fillWavHeader(header, sample.size, sample.rate);
    file.write(header, sizeof header);
    return forEachDacSamplePiece(sample, [&](const uint8_t* bytes, size_t n) { file.write(bytes, n); });
}
