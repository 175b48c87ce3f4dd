#include "common/sfz_writer.h"

void appendSfzComment(std::string& sfz, std::string_view text) {
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        sfz += "// ";
        sfz.append(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        sfz += '\n';
        if (end == std::string_view::npos) return;
        start = end + 1;
    }
}

void appendSfzRegion(std::string& sfz, const SfzRegion& region) {
    sfz += "<region>\nsample=";
    sfz += region.sample;
    sfz += "\nkey=" + std::to_string(region.key);
    sfz += "\npitch_keycenter=" + std::to_string(region.pitchKeycenter);
    switch (region.loopMode) {
    case SfzLoopMode::kNoLoop:
        break;
    case SfzLoopMode::kOneShot:
        sfz += "\nloop_mode=one_shot";
        break;
    case SfzLoopMode::kLoopContinuous:
        sfz += "\nloop_mode=loop_continuous\nloop_start=" + std::to_string(region.loopStart) +
               "\nloop_end=" + std::to_string(region.loopEnd);
        break;
    }
    sfz += '\n';
}
