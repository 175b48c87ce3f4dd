#pragma once
// The level interpreter: one channel's byte code, with every loop body a level
// of its own, into timed event records.

#include <cstdint>

#include "seqconv/interpreter/interpreter.h"

// Interprets the channel whose byte code starts at `offset`, with the channel
// registers of in.state already set for it. Returns when the channel ends: at
// 0x60, at the 0x65 closing the channel level, at the end of the bank, past
// the loop nesting limit, when a work bound is reached, when `time` would leave
// the 32-bit range, or (Pass::kRepeat) when `time` has passed `maxTime`.
void interpretChannel(SongInterpreter& in, Pass pass, uint32_t offset);
