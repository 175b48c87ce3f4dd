#pragma once
// Shared set-up of the interpreter tests: what the interpreter works with
// (a bank built by GemsBankBuilder, the registers, the budget and the song's
// lists), passes driven directly with a chosen maxTime, and compact text
// forms of the records so that failures read as event lists.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "seqconv/interpreter/interpreter.h"
#include "builders/gems_bank_builder.h"
#include "tests/support/output_capture.h"

// Everything a pass reads and changes, named as the tests read it.
struct InterpreterRig {
    SequenceBank sequences;
    InterpreterOptions flags;
    SeqState state;
    InterpreterBudget budget;
    SongPassLists lists;
};

class InterpreterTest : public ::testing::Test {
protected:
    InterpreterTest() : run(std::make_unique<InterpreterRig>()) {}

    void load(const GemsBankBuilder& bank) { run->sequences.bytes = bank.bytes(); }

    // One pass as the song conversion runs it: events emptied, maxTime set;
    // maxTime 0 stands for the first pass, any other value for the second.
    void pass(int32_t song, int32_t maxTime = 0) {
        run->state.maxTime = maxTime;
        run->lists.events.clear();
        SongInterpreter in{run->sequences, run->flags, capture.file(), run->state, run->budget, run->lists};
        interpretSongPass(in, song, maxTime == 0 ? Pass::kMeasure : Pass::kRepeat);
    }

    // One pass of the given kind with whatever maxTime the registers hold.
    void passOfKind(int32_t song, Pass kind) {
        run->lists.events.clear();
        SongInterpreter in{run->sequences, run->flags, capture.file(), run->state, run->budget, run->lists};
        interpretSongPass(in, song, kind);
    }

    // "+3C@0" note-on, "-3C@12" note-off, "P-32768@5" pitch record; channel
    // given as "c501:" when not 0.
    static std::string describe(const std::vector<SeqEvent>& events) {
        std::string text;
        for (const SeqEvent& e : events) {
            char item[64];
            const std::string channel =
                e.channelId == 0 ? "" : "c" + hex(e.channelId) + ":";
            if (e.pitchEvent != 0)
                std::snprintf(item, sizeof item, "%sP%d@%d", channel.c_str(), e.pitch, e.time);
            else
                std::snprintf(item, sizeof item, "%s%c%X@%d", channel.c_str(), e.on != 0 ? '+' : '-',
                              static_cast<unsigned>(e.note), e.time);
            if (!text.empty()) text += ' ';
            text += item;
        }
        return text;
    }

    std::string events() const { return describe(run->lists.events); }

    static std::string hex(int32_t value) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
        return buffer;
    }

    // Number of trace lines equal to `line` (without its newline).
    size_t countLines(const std::string& line) {
        const std::string text = capture.text();
        size_t count = 0;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            if (text.compare(start, end - start, line) == 0) ++count;
            start = end + 1;
        }
        return count;
    }

    OutputCapture capture;
    std::unique_ptr<InterpreterRig> run;
};
