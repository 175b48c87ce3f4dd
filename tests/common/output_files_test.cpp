#include "common/output_files.h"
#include "tests/support/memory_file_system.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/process_runner.h"

TEST(OutputPaths, JoinUsesTheSeparatorAndKeepsEverything) {
    EXPECT_EQ(joinOutputPath("out", "vgm.mid"), "out/vgm.mid");
    EXPECT_EQ(joinOutputPath("out/", "vgm.mid"), "out//vgm.mid");
    EXPECT_EQ(joinOutputPath("", "vgm.mid"), "vgm.mid");
    const std::string longDir(5000, 'd');
    EXPECT_EQ(joinOutputPath(longDir, "x").size(), 5002u);
}

TEST(MemoryFileSystem, ModelsMissingDirectoriesRefusalsAndShortWrites) {
    MemoryFileSystem fs;
    fs.requireDirectories = true;
    EXPECT_EQ(fs.create("out/a.bin"), nullptr);
    EXPECT_NE(fs.create("a.bin"), nullptr);  // the current directory always exists
    fs.createDirectory("out");
    auto f = fs.create("out/a.bin");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->write("abc", 3), 3u);
    EXPECT_TRUE(f->seek(1));
    EXPECT_EQ(f->write("Z", 1), 1u);
    EXPECT_EQ(fs.at("out/a.bin"), (std::vector<uint8_t>{'a', 'Z', 'c'}));
    EXPECT_NE(fs.create("out//b.bin"), nullptr);

    fs.refusedPaths.insert("out/r.bin");
    EXPECT_EQ(fs.create("out/r.bin"), nullptr);
    fs.shortWritePaths.insert("out/s.bin");
    auto s = fs.create("out/s.bin");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->write("abc", 3), 0u);
}

TEST(DiskFileSystem, CreatesOverwritesAndIgnoresDirectoryErrors) {
    TempDir tmp;
    DiskFileSystem disk;
    const std::string dir = tmp.file("out");
    disk.createDirectory(dir);
    disk.createDirectory(dir);  // exists already: ignored
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    {
        auto f = disk.create(joinOutputPath(dir, "a.bin"));
        ASSERT_NE(f, nullptr);
        f->write("hello", 5);
        f->seek(0);
        f->write("J", 1);
    }
    EXPECT_EQ(readWholeFile(dir + "/a.bin"), (std::vector<unsigned char>{'J', 'e', 'l', 'l', 'o'}));
    {
        auto f = disk.create(joinOutputPath(dir, "a.bin"));
        ASSERT_NE(f, nullptr);
    }
    EXPECT_TRUE(readWholeFile(dir + "/a.bin").empty());
    EXPECT_EQ(disk.create(tmp.file("missing/a.bin")), nullptr);
}

TEST(DiskFileSystem, FlushTellsWhetherBufferedBytesReachedTheFile) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    DiskFileSystem disk;
    auto full = disk.create("/dev/full");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->write("abc", 3), 3u);  // only buffered so far
    EXPECT_FALSE(full->flush());
    TempDir tmp;
    auto plain = disk.create(tmp.file("a.bin"));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->write("abc", 3), 3u);
    EXPECT_TRUE(plain->flush());
}
