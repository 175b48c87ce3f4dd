#include "seqconv/interpreter/level_interpreter.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "seqconv/interpreter/byte_code.h"
#include "seqconv/interpreter/loop_alignment.h"
#include "seqconv/seqconv_run.h"

namespace {

constexpr int64_t kTimeMax = std::numeric_limits<int32_t>::max();

// How a level (or one command within it) finished.
enum class Flow {
    kGoOn,          // keep reading this level
    kLevelClosed,   // 0x65: back to the enclosing level
    kChannelEnded,  // nothing more of this channel is interpreted, at any depth
};

struct Cursor {
    SeqconvRun& run;
    size_t pos;  // next byte-code byte to read
};

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void trace(SeqconvRun& run, const char* format, ...) {
    if (!run.flags.logEnabled) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(run.out, format, args);
    va_end(args);
}

// One byte-code byte. Fails at the end of the bank and once a work bound is
// reached (checked before every byte), which ends the channel.
bool readByte(Cursor& cursor, uint8_t& value) {
    InterpreterBudget& budget = cursor.run.budget;
    const std::vector<uint8_t>& bytes = cursor.run.sequences.bytes;
    if (budgetExhausted(budget) || cursor.pos >= bytes.size()) return false;
    value = bytes[cursor.pos++];
    ++budget.passBytes;
    ++budget.runBytes;
    return true;
}

bool readOperands(Cursor& cursor, uint8_t* operands, int count) {
    for (int i = 0; i < count; ++i)
        if (!readByte(cursor, operands[i])) return false;
    return true;
}

void appendRecord(SeqconvRun& run, int32_t note, int32_t time, uint8_t on, uint8_t pitchEvent) {
    const SeqState& state = run.state;
    SeqEvent event;
    event.note = note;
    event.time = time;
    event.channelId = state.channelId;
    event.volume = state.volume;
    event.patch = state.patch;
    event.priority = state.priority;
    event.pitch = state.pitch;
    event.spare = static_cast<int32_t>(run.budget.passRecords);
    event.on = on;
    event.pitchEvent = pitchEvent;
    run.events.push_back(event);
    ++run.budget.passRecords;
    ++run.budget.runRecords;
}

// Continues a delay or duration value by one 6-bit group. The driver keeps
// both in 32-bit registers: a run of groups too long for them wraps around
// (computed unsigned, so without overflow) and may leave a negative value.
int32_t addGroup(int32_t value, bool continues, uint8_t group) {
    const uint32_t next = (continues ? static_cast<uint32_t>(value) << kGroupBits : 0u) + group;
    return static_cast<int32_t>(next);
}

// a + b in 32-bit two's complement, as the driver's registers add.
int32_t wrappingAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// The step that ends a note and most commands: time moves on by `delay` and
// both delay and duration start afresh with their next byte.
Flow advance(SeqconvRun& run) {
    SeqState& state = run.state;
    const int64_t next = static_cast<int64_t>(state.time) + state.delay;
    state.delayContinues = false;
    state.durationContinues = false;
    trace(run, "wasdelay = false\n");
    // Past INT32_MAX the driver's time turns negative, which ends the channel.
    // A negative (wrapped) delay would take time back, and everything after
    // the interpreter relies on time never decreasing: that ends it too.
    if (next > kTimeMax || state.delay < 0) return Flow::kChannelEnded;
    state.time = static_cast<int32_t>(next);
    return Flow::kGoOn;
}

Flow playNote(Cursor& cursor, uint8_t note) {
    SeqconvRun& run = cursor.run;
    const SeqState& state = run.state;
    trace(run, "note = %X t = %X offs = %zX\n", static_cast<unsigned>(note),
          static_cast<unsigned>(state.time), cursor.pos);
    appendRecord(run, note, state.time, 1, 0);
    // A note-off past INT32_MAX (or before a wrapped negative duration) keeps
    // its 32-bit time: the writer drops negative times and logs them as such.
    appendRecord(run, note, wrappingAdd(state.time, state.duration), 0, 0);
    return advance(run);
}

Flow interpretLevel(Cursor& cursor, size_t offset, int32_t depth);

// 0x64 count: the body starts at the read position. An infinite loop (0x7F) is
// played once and measured in the first pass and repeated up to maxTime in the
// second; a finite loop plays its body `count` times (0 counts as 1) and
// interpretation goes on after its closing 0x65.
Flow playLoop(Cursor& cursor, uint8_t count, int32_t depth) {
    SeqconvRun& run = cursor.run;
    SeqState& state = run.state;
    if (depth >= kMaxLoopDepth) return Flow::kChannelEnded;
    const size_t body = cursor.pos;
    if (count == kInfiniteLoopCount) {
        if (state.maxTime == 0) {
            const int32_t start = state.time;
            if (interpretLevel(cursor, body, depth + 1) == Flow::kChannelEnded)
                return Flow::kChannelEnded;
            recordInfiniteLoop(run, start, state.time - start);  // time never decreases
        } else if (state.time < state.maxTime) {
            for (;;) {
                const int32_t before = state.time;
                if (interpretLevel(cursor, body, depth + 1) == Flow::kChannelEnded)
                    return Flow::kChannelEnded;
                // A body that takes no time would never reach maxTime.
                if (state.time == before || state.time >= state.maxTime) break;
            }
        }
        // Otherwise (second pass, time already at maxTime) the level reads on
        // into the body itself.
    } else {
        const int32_t repetitions = count == 0 ? 1 : count;
        for (int32_t i = 0; i < repetitions; ++i)
            if (interpretLevel(cursor, body, depth + 1) == Flow::kChannelEnded)
                return Flow::kChannelEnded;
    }
    state.delayContinues = false;
    state.durationContinues = false;
    return Flow::kGoOn;
}

// 0x72 sub v: sub 5 sets the channel volume, sub 4 is the master volume (not
// kept), 0..3 do nothing, higher ones are unknown.
void store72(SeqconvRun& run, uint8_t sub, uint8_t value) {
    if (sub > kSubVolume) {
        trace(run, "$72 unk %X %X\n", static_cast<unsigned>(sub), static_cast<unsigned>(value));
    } else if (sub == kSubMasterVolume) {
        trace(run, "mastervolume %d\n", static_cast<int>(value));
    } else if (sub == kSubVolume) {
        trace(run, "volume %d\n", static_cast<int>(value));
        run.state.volume = value;
    }
}

Flow runCommand(Cursor& cursor, uint8_t command, int32_t depth) {
    SeqconvRun& run = cursor.run;
    SeqState& state = run.state;
    uint8_t op[4];
    switch (command) {
        case kCmdEndOfSequence:
            trace(run, "eos\n");
            return Flow::kChannelEnded;
        case kCmdPatch:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            state.patch = op[0];
            trace(run, "patch %X\n", static_cast<unsigned>(op[0]));
            return advance(run);
        case kCmdModulation:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            trace(run, "modulation %X\n", static_cast<unsigned>(op[0]));
            return advance(run);
        case kCmdNop:
            trace(run, "nop\n");
            return advance(run);
        case kCmdLoop:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            trace(run, "loop %X times\n", static_cast<unsigned>(op[0]));
            return playLoop(cursor, op[0], depth);
        case kCmdEndOfLoop:
            trace(run, "eol\n");
            state.delayContinues = false;
            state.durationContinues = false;
            return Flow::kLevelClosed;
        case kCmdParam66:
        case kCmdParam67:
        case kCmdParam69:
        case kCmdParam6E:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            trace(run, "param %02X\n", static_cast<unsigned>(op[0]));
            return advance(run);
        case kCmdTempo:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            state.tempo = op[0] + kTempoBase;
            trace(run, "tempo %d+40=%d (dec)\n", static_cast<int>(op[0]), state.tempo);
            return advance(run);
        case kCmdPriority:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            state.priority = op[0];
            trace(run, "priority %d (dec)\n", static_cast<int>(op[0]));
            return advance(run);
        case kCmdPlay:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            trace(run, "play %02X\n", static_cast<unsigned>(op[0]));
            if (run.flags.playOthers && run.playSongs.size() < static_cast<size_t>(kPlayListLimit)) {
                run.playSongs.push_back(op[0]);
                run.playTimes.push_back(state.time);
            }
            return advance(run);
        case kCmdPitch:
            if (!readOperands(cursor, op, 2)) return Flow::kChannelEnded;
            // Two's-complement 16-bit value: 0x8000..0xFFFF are -32768..-1.
            state.pitch = static_cast<int32_t>(op[0] | (op[1] << 8)) - ((op[1] & 0x80) != 0 ? 0x10000 : 0);
            trace(run, "pitch %02X %02X\n", static_cast<unsigned>(op[0]), static_cast<unsigned>(op[1]));
            appendRecord(run, 0, state.time, 1, 1);
            return advance(run);
        case kCmdSfx:
            trace(run, "sfx\n");
            state.tempo = kSfxTempo;
            return advance(run);
        case kCmdJump:
            // Traced, not followed: interpretation goes on after the operand.
            if (!readOperands(cursor, op, 2)) return Flow::kChannelEnded;
            trace(run, "jmp %X\n", static_cast<unsigned>(op[0] | (op[1] << 8)));
            state.delayContinues = false;
            state.durationContinues = false;
            return Flow::kGoOn;
        case kCmdSet:
            if (!readOperands(cursor, op, 2)) return Flow::kChannelEnded;
            trace(run, "set _%X = %X\n", static_cast<unsigned>(op[0]), static_cast<unsigned>(op[1]));
            return advance(run);
        case kCmdJumpConditional:
            if (!readOperands(cursor, op, 4)) return Flow::kChannelEnded;
            trace(run, "jmp ? %X %X %X %X\n", static_cast<unsigned>(op[0]), static_cast<unsigned>(op[1]),
                  static_cast<unsigned>(op[2]), static_cast<unsigned>(op[3]));
            return advance(run);
        case kCmdStore72:
            if (!readOperands(cursor, op, 2)) return Flow::kChannelEnded;
            store72(run, op[0], op[1]);
            return advance(run);
        default:  // 0x73..0x7F: no operands, no time, continuation kept
            trace(run, "Unknown command %X\n", static_cast<unsigned>(command));
            return Flow::kGoOn;
    }
}

// One level: the channel's byte code (depth 0) or a loop body. It ends at
// 0x65 (kLevelClosed); everything else that stops it ends the whole channel.
Flow interpretLevel(Cursor& cursor, size_t offset, int32_t depth) {
    SeqconvRun& run = cursor.run;
    SeqState& state = run.state;
    cursor.pos = offset;
    for (;;) {
        // time never decreases, so once past maxTime every enclosing level
        // stops at its next check too: the channel is over.
        if (state.maxTime != 0 && state.time > state.maxTime) return Flow::kChannelEnded;
        uint8_t b = 0;
        if (!readByte(cursor, b)) return Flow::kChannelEnded;
        Flow flow = Flow::kGoOn;
        if (b >= kFirstDelayByte) {
            state.delay = addGroup(state.delay, state.delayContinues,
                                   static_cast<uint8_t>(b - kFirstDelayByte));
            state.delayContinues = true;
            state.durationContinues = false;
            trace(run, "delay = %X\n", static_cast<unsigned>(state.delay));
        } else if (b >= kFirstDurationByte) {
            state.duration = addGroup(state.duration, state.durationContinues,
                                      static_cast<uint8_t>(b - kFirstDurationByte));
            state.durationContinues = true;
            state.delayContinues = false;
            trace(run, "duration = %X\n", static_cast<unsigned>(state.duration));
        } else if (b < kFirstCommand) {
            flow = playNote(cursor, b);
        } else {
            flow = runCommand(cursor, b, depth);
        }
        if (flow != Flow::kGoOn) return flow;
    }
}

}  // namespace

void interpretChannel(SeqconvRun& run, uint32_t offset) {
    Cursor cursor{run, offset};
    interpretLevel(cursor, offset, 0);
}
