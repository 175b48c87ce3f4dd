#include "seqconv/interpreter/level_interpreter.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "seqconv/interpreter/byte_code.h"
#include "seqconv/interpreter/loop_alignment.h"

namespace {

constexpr int64_t kTimeMax = std::numeric_limits<int32_t>::max();

// How a level (or one command within it) finished.
enum class Flow {
    kGoOn,          // keep reading this level
    kLevelClosed,   // 0x65: back to the enclosing level
    kChannelEnded,  // nothing more of this channel is interpreted, at any depth
};

struct Cursor {
    SongInterpreter& in;
    Pass pass;
    size_t pos;  // next byte-code byte to read
    // Read for every byte: held here rather than reached through `in`.
    const std::vector<uint8_t>& bytes;
    InterpreterBudget& budget;
};

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void trace(const SongInterpreter& in, const char* format, ...) {
    if (!in.options.logEnabled) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(in.trace, format, args);
    va_end(args);
}

// One byte-code byte. Fails at the end of the bank and once a work bound is
// reached (checked before every byte), which ends the channel.
bool readByte(Cursor& cursor, uint8_t& value) {
    InterpreterBudget& budget = cursor.budget;
    const std::vector<uint8_t>& bytes = cursor.bytes;
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

void appendRecord(SongInterpreter& in, int32_t note, int32_t time, uint8_t on, uint8_t pitchEvent) {
    const SeqState& state = in.state;
    SeqEvent event;
    event.note = note;
    event.time = time;
    event.channelId = state.channelId;
    event.volume = state.volume;
    event.patch = state.patch;
    event.priority = state.priority;
    event.pitch = state.pitch;
    event.spare = static_cast<int32_t>(in.budget.passRecords);
    event.on = on;
    event.pitchEvent = pitchEvent;
    in.lists.events.push_back(event);
    ++in.budget.passRecords;
    ++in.budget.runRecords;
}

// Continues a delay or duration value by one 6-bit group. The driver keeps
// both in 32-bit registers: a in of groups too long for them wraps around
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
Flow advance(SongInterpreter& in) {
    SeqState& state = in.state;
    const int64_t next = static_cast<int64_t>(state.time) + state.delay;
    state.delayContinues = false;
    state.durationContinues = false;
    trace(in, "wasdelay = false\n");
    // Past INT32_MAX the driver's time turns negative, which ends the channel.
    // A negative (wrapped) delay would take time back, and everything after
    // the interpreter relies on time never decreasing: that ends it too.
    if (next > kTimeMax || state.delay < 0) return Flow::kChannelEnded;
    state.time = static_cast<int32_t>(next);
    return Flow::kGoOn;
}

Flow playNote(Cursor& cursor, uint8_t note) {
    SongInterpreter& in = cursor.in;
    const SeqState& state = in.state;
    trace(in, "note = %X t = %X offs = %zX\n", static_cast<unsigned>(note),
          static_cast<unsigned>(state.time), cursor.pos);
    appendRecord(in, note, state.time, 1, 0);
    // A note-off past INT32_MAX (or before a wrapped negative duration) keeps
    // its 32-bit time: the writer drops negative times and logs them as such.
    appendRecord(in, note, wrappingAdd(state.time, state.duration), 0, 0);
    return advance(in);
}

Flow interpretLevel(Cursor& cursor, size_t offset, int32_t depth);

// 0x64 count: the body starts at the read position. An infinite loop (0x7F) is
// played once and measured in the first pass and repeated up to maxTime in the
// second; a finite loop plays its body `count` times (0 counts as 1) and
// interpretation goes on after its closing 0x65.
Flow playLoop(Cursor& cursor, uint8_t count, int32_t depth) {
    SongInterpreter& in = cursor.in;
    SeqState& state = in.state;
    if (depth >= kMaxLoopDepth) return Flow::kChannelEnded;
    const size_t body = cursor.pos;
    if (count == kInfiniteLoopCount) {
        if (cursor.pass == Pass::kMeasure) {
            const int32_t start = state.time;
            if (interpretLevel(cursor, body, depth + 1) == Flow::kChannelEnded)
                return Flow::kChannelEnded;
            recordInfiniteLoop(in.lists.loops, start, state.time - start, in.options.crtLoops);  // time never decreases
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
void store72(SongInterpreter& in, uint8_t sub, uint8_t value) {
    if (sub > kSubVolume) {
        trace(in, "$72 unk %X %X\n", static_cast<unsigned>(sub), static_cast<unsigned>(value));
    } else if (sub == kSubMasterVolume) {
        trace(in, "mastervolume %d\n", static_cast<int>(value));
    } else if (sub == kSubVolume) {
        trace(in, "volume %d\n", static_cast<int>(value));
        in.state.volume = value;
    }
}

Flow runCommand(Cursor& cursor, uint8_t command, int32_t depth) {
    SongInterpreter& in = cursor.in;
    SeqState& state = in.state;
    uint8_t op[4];
    switch (command) {
        case kCmdEndOfSequence:
            trace(in, "eos\n");
            return Flow::kChannelEnded;
        case kCmdPatch:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            state.patch = op[0];
            trace(in, "patch %X\n", static_cast<unsigned>(op[0]));
            return advance(in);
        case kCmdModulation:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            trace(in, "modulation %X\n", static_cast<unsigned>(op[0]));
            return advance(in);
        case kCmdNop:
            trace(in, "nop\n");
            return advance(in);
        case kCmdLoop:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            trace(in, "loop %X times\n", static_cast<unsigned>(op[0]));
            return playLoop(cursor, op[0], depth);
        case kCmdEndOfLoop:
            trace(in, "eol\n");
            state.delayContinues = false;
            state.durationContinues = false;
            return Flow::kLevelClosed;
        case kCmdParam66:
        case kCmdParam67:
        case kCmdParam69:
        case kCmdParam6E:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            trace(in, "param %02X\n", static_cast<unsigned>(op[0]));
            return advance(in);
        case kCmdTempo:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            state.tempo = op[0] + kTempoBase;
            trace(in, "tempo %d+40=%d (dec)\n", static_cast<int>(op[0]), state.tempo);
            return advance(in);
        case kCmdPriority:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            state.priority = op[0];
            trace(in, "priority %d (dec)\n", static_cast<int>(op[0]));
            return advance(in);
        case kCmdPlay:
            if (!readOperands(cursor, op, 1)) return Flow::kChannelEnded;
            trace(in, "play %02X\n", static_cast<unsigned>(op[0]));
            if (in.options.playOthers && in.lists.playSongs.size() < static_cast<size_t>(kPlayListLimit)) {
                in.lists.playSongs.push_back(op[0]);
                in.lists.playTimes.push_back(state.time);
            }
            return advance(in);
        case kCmdPitch:
            if (!readOperands(cursor, op, 2)) return Flow::kChannelEnded;
            // Two's-complement 16-bit value: 0x8000..0xFFFF are -32768..-1.
            state.pitch = static_cast<int32_t>(op[0] | (op[1] << 8)) - ((op[1] & 0x80) != 0 ? 0x10000 : 0);
            trace(in, "pitch %02X %02X\n", static_cast<unsigned>(op[0]), static_cast<unsigned>(op[1]));
            appendRecord(in, 0, state.time, 1, 1);
            return advance(in);
        case kCmdSfx:
            trace(in, "sfx\n");
            state.tempo = kSfxTempo;
            return advance(in);
        case kCmdJump:
            // Traced, not followed: interpretation goes on after the operand.
            if (!readOperands(cursor, op, 2)) return Flow::kChannelEnded;
            trace(in, "jmp %X\n", static_cast<unsigned>(op[0] | (op[1] << 8)));
            state.delayContinues = false;
            state.durationContinues = false;
            return Flow::kGoOn;
        case kCmdSet:
            if (!readOperands(cursor, op, 2)) return Flow::kChannelEnded;
            trace(in, "set _%X = %X\n", static_cast<unsigned>(op[0]), static_cast<unsigned>(op[1]));
            return advance(in);
        case kCmdJumpConditional:
            if (!readOperands(cursor, op, 4)) return Flow::kChannelEnded;
            trace(in, "jmp ? %X %X %X %X\n", static_cast<unsigned>(op[0]), static_cast<unsigned>(op[1]),
                  static_cast<unsigned>(op[2]), static_cast<unsigned>(op[3]));
            return advance(in);
        case kCmdStore72:
            if (!readOperands(cursor, op, 2)) return Flow::kChannelEnded;
            store72(in, op[0], op[1]);
            return advance(in);
        default:  // 0x73..0x7F: no operands, no time, continuation kept
            trace(in, "Unknown command %X\n", static_cast<unsigned>(command));
            return Flow::kGoOn;
    }
}

// One level: the channel's byte code (depth 0) or a loop body. It ends at
// 0x65 (kLevelClosed); everything else that stops it ends the whole channel.
Flow interpretLevel(Cursor& cursor, size_t offset, int32_t depth) {
    SongInterpreter& in = cursor.in;
    SeqState& state = in.state;
    cursor.pos = offset;
    for (;;) {
        // time never decreases, so once past maxTime every enclosing level
        // stops at its next check too: the channel is over.
        if (cursor.pass == Pass::kRepeat && state.time > state.maxTime) return Flow::kChannelEnded;
        uint8_t b = 0;
        if (!readByte(cursor, b)) return Flow::kChannelEnded;
        Flow flow = Flow::kGoOn;
        if (b >= kFirstDelayByte) {
            state.delay = addGroup(state.delay, state.delayContinues,
                                   static_cast<uint8_t>(b - kFirstDelayByte));
            state.delayContinues = true;
            state.durationContinues = false;
            trace(in, "delay = %X\n", static_cast<unsigned>(state.delay));
        } else if (b >= kFirstDurationByte) {
            state.duration = addGroup(state.duration, state.durationContinues,
                                      static_cast<uint8_t>(b - kFirstDurationByte));
            state.durationContinues = true;
            state.delayContinues = false;
            trace(in, "duration = %X\n", static_cast<unsigned>(state.duration));
        } else if (b < kFirstCommand) {
            flow = playNote(cursor, b);
        } else {
            flow = runCommand(cursor, b, depth);
        }
        if (flow != Flow::kGoOn) return flow;
    }
}

}  // namespace

void interpretChannel(SongInterpreter& in, Pass pass, uint32_t offset) {
    Cursor cursor{in, pass, offset, in.bank.bytes, in.budget};
    interpretLevel(cursor, offset, 0);
}
