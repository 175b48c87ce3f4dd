#pragma once
// Work bounds of the byte-code interpreter. A GEMS bank is a program: loops
// nest, songs start songs, and nothing in the format promises an end. These
// bounds are far above anything a real bank needs and exist only so that a
// broken or hostile bank still gives a finite run in bounded memory.

#include <cstdint>

// One pass (the songs and channels interpreted for one output song in one pass).
constexpr int64_t kPassRecordLimit = 2'000'000;
constexpr int64_t kPassByteLimit = 100'000'000;
// The whole run, both passes of every song.
constexpr int64_t kRunRecordLimit = 20'000'000;
constexpr int64_t kRunByteLimit = 1'000'000'000;
// Entries of the play list per pass; later "play" commands only trace.
constexpr int32_t kPlayListLimit = 4096;
// Loop bodies nested inside one another in one channel.
constexpr int32_t kMaxLoopDepth = 64;

// Records produced and byte-code bytes read (operands included; song table,
// song headers and channel pointers are not counted).
struct InterpreterBudget {
    int64_t passRecords = 0;  // also the sequence number of the next record
    int64_t passBytes = 0;
    int64_t runRecords = 0;   // never reset: survives across songs
    int64_t runBytes = 0;
};

// True once any bound is reached: the pass interprets nothing more.
inline bool budgetExhausted(const InterpreterBudget& budget) {
    return budget.passRecords >= kPassRecordLimit || budget.passBytes >= kPassByteLimit ||
           budget.runRecords >= kRunRecordLimit || budget.runBytes >= kRunByteLimit;
}
