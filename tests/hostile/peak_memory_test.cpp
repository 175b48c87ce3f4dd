// The built programs on inputs shaped to make memory grow: tonepick's peak
// resident memory must stay within the input's size plus 64 MiB, seqconv's
// within 256 MiB on any bank.
// The peak is taken by the benchmarks' small measuring program: a child forked
// from this test would start as a copy of it and report its memory too. Under
// AddressSanitizer the shadow memory makes the figure meaningless, so the
// check runs in the ordinary builds only.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "seqconv/interpreter/sequence_bank.h"
#include "builders/gems_bank_builder.h"
#include "tests/support/gzip_writer.h"
#include "tests/support/process_runner.h"
#include "builders/vgm_builder.h"

#if defined(__SANITIZE_ADDRESS__)
#define MDTOOLS_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MDTOOLS_UNDER_ASAN 1
#endif
#endif

namespace {

constexpr size_t kInputBytes = 16u << 20;
constexpr long kHeadroomKilobytes = 64 * 1024;

// Peak resident KiB of one run of the program through the measuring program,
// or -1 when it did not report.
long peakOfRun(const std::vector<std::string>& command, int& exitCode) {
#ifdef MEASURE_RUN_EXE
    std::vector<std::string> args = {"1", "/dev/null", "--"};
    args.insert(args.end(), command.begin(), command.end());
    const ProcessResult r = runProcess(MEASURE_RUN_EXE, args);
    double wall = 0, cpu = 0;
    long peakKilobytes = -1;
    if (std::sscanf(r.output.c_str(), "%lf %lf %ld %d", &wall, &cpu, &peakKilobytes, &exitCode) != 4) return -1;
    return peakKilobytes;
#else
    (void)command;
    exitCode = -1;
    return -1;
#endif
}

#if defined(MDTOOLS_UNDER_ASAN)
#define SKIP_WITHOUT_PEAK_MEASURE() GTEST_SKIP() << "peak memory is not meaningful under AddressSanitizer"
#elif !defined(MEASURE_RUN_EXE)
#define SKIP_WITHOUT_PEAK_MEASURE() \
    GTEST_SKIP() << "the measuring program is built with the benchmarks (MDTOOLS_BUILD_BENCH)"
#else
#define SKIP_WITHOUT_PEAK_MEASURE() (void)0
#endif

struct Flood {
    const char* name;
    std::function<void(VgmBuilder&, uint32_t)> step;  // appends one repetition
    std::vector<std::string> options = {};           // after the two paths
};

TEST(TonepickPeakMemory, FloodsStayWithinTheInputSizePlus64MiB) {
    SKIP_WITHOUT_PEAK_MEASURE();
    const std::vector<Flood> floods = {
        {"new instruments at every key-on",
         [](VgmBuilder& v, uint32_t i) {
             v.ym(0, 0x30, static_cast<int>(i & 0xFF)).ym(0, 0x38, static_cast<int>((i >> 8) & 0xFF));
             v.ym(0, 0x34, static_cast<int>((i >> 16) & 0xFF)).keyOn(0).keyOff(0);
         }},
        {"empty data blocks",
         [](VgmBuilder& v, uint32_t i) { v.raw({0x67, 0x66, static_cast<uint8_t>(i), 0, 0, 0, 0}); }},
        {"PSG tone changes (events)",
         [](VgmBuilder& v, uint32_t i) {
             v.psg(0x90).psg(static_cast<uint8_t>(0x80 | (i & 0x0F))).psg(static_cast<uint8_t>((i >> 4) & 0x3F));
         }},
        {"FM vibrato (events)",
         [](VgmBuilder& v, uint32_t i) {
             if (i == 0) v.keyOn(0);
             v.ym(0, 0xA4, 0x22).ym(0, 0xA0, static_cast<int>(i & 0xFF));
         }},
        {"one DAC capture",
         [](VgmBuilder& v, uint32_t i) {
             if (i == 0) v.ym(0, 0x2B, 0x80);
             v.ym(0, 0x2A, static_cast<int>(i & 0xFF)).raw({0x70});
         }},
        {"kit: one-byte PCM plays at seeks",
         [](VgmBuilder& v, uint32_t i) {
             if (i == 0) v.dataBlock(0x00, std::vector<uint8_t>(4096, 0x42)).ym(0, 0x2B, 0x80);
             v.pcmSeek(i % 4096).pcmWrite(0);
         },
         {"-s", "kit"}},
        {"kit: distinct direct stretches",
         [](VgmBuilder& v, uint32_t i) {
             v.ym(0, 0x2B, 0x80).ym(0, 0x2A, static_cast<int>(i & 0xFF)).ym(0, 0x2A, static_cast<int>((i >> 8) & 0xFF));
             v.ym(0, 0x2B, 0x00);
         },
         {"-s", "kit"}},
        {"levels: a fade under one note",
         [](VgmBuilder& v, uint32_t i) {
             if (i == 0) v.ym(0, 0xB0, 0x07).keyOn(0);
             v.ym(0, 0x40, static_cast<int>(i & 0x7F));
         },
         {"-m", "levels"}},
        {"one large data block",
         [](VgmBuilder& v, uint32_t i) {
             if (i == 0) {
                 v.dataBlock(0x00, std::vector<uint8_t>(kInputBytes - 4096, 0x42));
             } else {
                 v.raw({0x70});
             }
         }},
    };
    TempDir dir;
    // Tens of thousands of instrument and block files: on a RAM disk when there is one.
    std::string outDir = dir.file("out");
    std::error_code noRamDisk;
    if (std::filesystem::is_directory("/dev/shm", noRamDisk)) {
        outDir = "/dev/shm/tonepick-peak-" + std::filesystem::path(dir.path()).filename().string();
    }
    for (const Flood& flood : floods) {
        const std::string input = dir.file("flood.vgm");
        const std::string compressed = dir.file("flood.vgz");
        size_t inputSize = 0;
        {
            // Built and released before the run: a child starts as a copy of
            // this process, and its peak would include what this one holds.
            VgmBuilder v;
            for (uint32_t i = 0; v.commands().size() < kInputBytes; ++i) flood.step(v, i);
            v.end();
            const std::vector<uint8_t> bytes = v.bytes();
            inputSize = bytes.size();
            ASSERT_TRUE(writeWholeFile(input, std::vector<unsigned char>(bytes.begin(), bytes.end())));
            ASSERT_TRUE(writeWholeFile(compressed, [&bytes] {
                const std::vector<uint8_t> gz = gzipMember(bytes, 1);
                return std::vector<unsigned char>(gz.begin(), gz.end());
            }()));
        }
        // The .vgz form holds what the log holds (the data blocks are kept),
        // so it gets the budget of the decompressed log.
        for (const std::string& path : {input, compressed}) {
            int exitCode = -1;
            std::vector<std::string> command{TONEPICK_EXE, path, outDir};
            command.insert(command.end(), flood.options.begin(), flood.options.end());
            const long peakKilobytes = peakOfRun(command, exitCode);
            ASSERT_GT(peakKilobytes, 0) << flood.name;
            EXPECT_EQ(exitCode, 0) << flood.name << " " << path;
            const long budget = static_cast<long>(inputSize / 1024) + kHeadroomKilobytes;
            EXPECT_LE(peakKilobytes, budget) << flood.name << " " << path << ": " << inputSize << " bytes of input";
            std::printf("%-34s %s input %6zu KiB, peak %6ld KiB (budget %ld KiB)\n", flood.name,
                        path == input ? "vgm" : "vgz", inputSize / 1024, peakKilobytes, budget);
            std::filesystem::remove_all(outDir, noRamDisk);
        }
    }
}

TEST(TonepickPeakMemory, AVgzIsNeverHeldWholeInMemory) {
    SKIP_WITHOUT_PEAK_MEASURE();
    // 256 MiB of waits compress a thousandfold: the run must stay within the
    // compressed size plus 64 MiB, as the decompressed bytes only pass through.
    TempDir dir;
    const std::string path = dir.file("waits.vgz");
    size_t compressedSize = 0;
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        GzipFileWriter w;
        ASSERT_TRUE(gzipFileBegin(w, f, 9));
        const std::vector<uint8_t> header = VgmBuilder().bytes();
        ASSERT_TRUE(gzipFileAppend(w, header.data(), header.size()));
        const std::vector<uint8_t> waits(1u << 20, 0x7F);
        for (int i = 0; i < 256; ++i) ASSERT_TRUE(gzipFileAppend(w, waits.data(), waits.size()));
        const uint8_t end = 0x66;
        ASSERT_TRUE(gzipFileAppend(w, &end, 1));
        ASSERT_TRUE(gzipFileEnd(w));
        compressedSize = static_cast<size_t>(std::ftell(f));
        ASSERT_EQ(std::fclose(f), 0);
    }
    int exitCode = -1;
    const long peakKilobytes = peakOfRun({TONEPICK_EXE, path, dir.file("out")}, exitCode);
    ASSERT_GT(peakKilobytes, 0);
    EXPECT_EQ(exitCode, 0);
    const long budget = static_cast<long>(compressedSize / 1024) + kHeadroomKilobytes;
    EXPECT_LE(peakKilobytes, budget);
    std::printf("256 MiB of waits as .vgz: %zu KiB, peak %ld KiB (budget %ld KiB)\n", compressedSize / 1024,
                peakKilobytes, budget);
}

TEST(SeqconvPeakMemory, TheLargestBankAtItsRecordBoundsStaysWithin256MiB) {
    SKIP_WITHOUT_PEAK_MEASURE();
    // Loops nested twenty deep reach the record bound of every pass, in a
    // bank padded beyond the longest stretch that can ever be read; eight
    // songs of it, so that the run-wide bounds matter too.
    GemsBankBuilder b;
    for (int song = 0; song < 8; ++song) addNestedLoopChannel(b.song(), 20);
    TempDir dir;
    {
        std::vector<uint8_t> bank = b.bytes();
        bank.resize(static_cast<size_t>(kSequenceBankReadLimit) + 4096, 0x60);
        ASSERT_TRUE(writeWholeFile(dir.file("seq.bin"), std::vector<unsigned char>(bank.begin(), bank.end())));
        ASSERT_TRUE(writeWholeFile(dir.file("ins.bin"), std::vector<unsigned char>(4096, 0x00)));
    }
    std::filesystem::create_directory(dir.file("out"));
    for (const char* flags : {"c", "psc"}) {
        int exitCode = -1;
        const long peakKilobytes =
            peakOfRun({SEQCONV_EXE, dir.file("seq.bin"), dir.file("ins.bin"), dir.file("out"), flags}, exitCode);
        EXPECT_EQ(exitCode, 0) << flags;
        ASSERT_GT(peakKilobytes, 0) << flags;
        EXPECT_LE(peakKilobytes, 256L * 1024) << flags;
        std::printf("seqconv %-6s peak %ld KiB (budget %ld KiB)\n", flags, peakKilobytes, 256L * 1024);
    }
}

}  // namespace
