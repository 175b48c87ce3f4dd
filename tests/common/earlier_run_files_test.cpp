#include "common/earlier_run_files.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/support/memory_file_system.h"
#include "tests/support/output_capture.h"

namespace {

bool isPatchFile(std::string_view name) { return name.substr(0, 6) == "patch_"; }

std::string warningFor(const MemoryFileSystem& disk, const RecordingFileSystem& recording, const std::string& dir) {
    OutputCapture capture;
    printEarlierRunWarning(capture.file(), dir, findEarlierRunFiles(disk, dir, recording.attemptedPaths(), isPatchFile));
    return capture.text();
}

TEST(EarlierRunFiles, CountsOnlyOutputNamesInTheFolderThatTheRunNeitherWroteNorTried) {
    MemoryFileSystem disk;
    for (const char* path : {"out/patch_05.tfi", "out/patch_01.tfi", "out/patch_00.tfi", "out/patch_02.tfi",
                             "out/notes.txt", "out/sub/patch_09.tfi", "other/patch_07.tfi"}) {
        disk.files[path] = {1};
    }
    disk.refusedPaths.insert("out/patch_02.tfi");
    RecordingFileSystem recording(disk);
    recording.create("out/patch_00.tfi");
    EXPECT_EQ(recording.create("out/patch_02.tfi"), nullptr);  // refused, but tried: not an earlier file

    EXPECT_EQ(warningFor(disk, recording, "out"),
              "Warning: 2 files of an earlier run remain in \"out\" (e.g. patch_01.tfi)\n");
    EXPECT_EQ(warningFor(disk, recording, "other"),
              "Warning: 1 file of an earlier run remains in \"other\" (patch_07.tfi)\n");
    recording.create("other/patch_07.tfi");
    EXPECT_EQ(warningFor(disk, recording, "other"), "");
    EXPECT_EQ(warningFor(disk, recording, "missing"), "");
}

}  // namespace
