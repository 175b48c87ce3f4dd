#include "common/sfz_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SfzWriter, CommentsAndRegionsOfEveryLoopModeOneOpcodeALine) {
    std::string sfz;
    appendSfzComment(sfz, "Drum kit\nsecond line");
    appendSfzRegion(sfz, {"sample 001.wav", 35, 35, SfzLoopMode::kOneShot, 0, 0});
    appendSfzRegion(sfz, {"s/002.wav", 36, 40, SfzLoopMode::kNoLoop, 7, 9});
    appendSfzRegion(sfz, {"003.wav", 48, 48, SfzLoopMode::kLoopContinuous, 100, 199});
    EXPECT_EQ(sfz,
              "// Drum kit\n// second line\n"
              "<region>\nsample=sample 001.wav\nkey=35\npitch_keycenter=35\nloop_mode=one_shot\n"
              "<region>\nsample=s/002.wav\nkey=36\npitch_keycenter=40\n"
              "<region>\nsample=003.wav\nkey=48\npitch_keycenter=48\nloop_mode=loop_continuous\n"
              "loop_start=100\nloop_end=199\n");
}

}  // namespace
