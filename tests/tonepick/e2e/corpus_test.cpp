// Real VGM logs from the shared corpus (skipped when it is absent): every file
// walks to its end command, and what the walk saw matches the corpus manifest
// (wait total, data blocks, and the commands reported as unhandled).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tonepick_test_run.h"

namespace {

const std::string kCorpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/vgm";

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::stringstream in(s);
    std::string part;
    while (std::getline(in, part, sep)) parts.push_back(part);
    return parts;
}

// "a=1;b=x" -> {a: 1, b: x}
std::map<std::string, std::string> features(const std::string& field) {
    std::map<std::string, std::string> out;
    for (const auto& kv : split(field, ';')) {
        const size_t eq = kv.find('=');
        if (eq != std::string::npos) out[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    return out;
}

// "90:1,93:645" -> {"90": 1, "93": 645}; "-" -> {}
std::map<std::string, long> counts(const std::string& field) {
    std::map<std::string, long> out;
    if (field == "-") return out;
    for (const auto& item : split(field, ',')) {
        const size_t colon = item.find(':');
        out[item.substr(0, colon)] = std::stol(item.substr(colon + 1));
    }
    return out;
}

TEST(TonepickCorpus, EveryFileWalksToItsEndAsTheManifestSays) {
    std::ifstream manifest(kCorpus + "/MANIFEST.tsv");
    if (!manifest) GTEST_SKIP() << "no corpus at " << kCorpus;
    std::string line;
    std::getline(manifest, line);  // column names
    int files = 0;
    while (std::getline(manifest, line)) {
        const auto cols = split(line, '\t');
        ASSERT_GE(cols.size(), 9u);
        const std::string& name = cols[0];
        auto f = features(cols[8]);
        SCOPED_TRACE(name);

        TonepickTestRun t;
        const TonepickRun& run = t.run;
        EXPECT_EQ(t.start({kCorpus + "/" + name, "out"}), kExitOk);
        ++files;

        std::map<std::string, long> unhandled;
        std::istringstream lines(t.text());
        std::string l;
        while (std::getline(lines, l)) {
            EXPECT_EQ(l.rfind("Error: invalid", 0), std::string::npos) << l;
            EXPECT_EQ(l.rfind("Error: unexpected", 0), std::string::npos) << l;
            if (l.rfind("Unhandled: ", 0) == 0) ++unhandled[l.substr(11)];
        }
        // The manifest counts every command of other chips and every DAC
        // stream command; streams aimed at the first YM2612's DAC are played,
        // not reported (a dual-chip log still reports those of the second).
        std::map<std::string, long> expectedUnhandled = counts(f["other"]);
        for (const char* stream : {"90", "91", "92", "93", "94", "95"}) {
            EXPECT_LE(unhandled[stream], expectedUnhandled[stream]) << stream;
            unhandled.erase(stream);
            expectedUnhandled.erase(stream);
        }
        EXPECT_EQ(unhandled, expectedUnhandled);
        EXPECT_EQ(std::to_string(run.stream.sampleTime), split(f["samples"], '/')[0]);

        ASSERT_EQ(std::to_string(run.reader.blocks.size()), f["blocks"]);
        long bytes = 0;
        std::map<std::string, long> types;
        for (size_t i = 0; i < run.reader.blocks.size(); ++i) {
            const auto& b = run.reader.blocks[i];
            bytes += static_cast<long>(b.bytes.size());
            char type[3], file[64];
            std::snprintf(type, sizeof type, "%02X", b.type);
            std::snprintf(file, sizeof file, "out/datablock_%02zu(%s).bin", i, type);
            ++types[type];
            ASSERT_TRUE(t.files.has(file)) << file;
            EXPECT_EQ(t.files.at(file), b.bytes);
        }
        EXPECT_EQ(std::to_string(bytes), f["block_bytes"]);
        EXPECT_EQ(types, counts(f["block_types"] == "-" ? "-" : f["block_types"]));
    }
    EXPECT_GT(files, 0);
}

}  // namespace
