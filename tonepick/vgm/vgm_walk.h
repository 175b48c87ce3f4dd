#pragma once
// The command walk as a template over its handler, so that a caller whose
// handler is known at compile time (the dispatcher) gets it inlined into the
// loop instead of an indirect call per command.

#include <array>
#include <cstddef>
#include <cstdint>

#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/vgm_commands.h"
#include "tonepick/vgm/vgm_reader.h"

// The longest framing or operand list after a command byte (0x68: 0x66 + 10 bytes).
constexpr size_t kMaxVgmOperandBytes = kVgmPcmRamWriteSize;

// vgmOperandLength for every command byte of a file of header version `version`.
using VgmOperandLengths = std::array<int8_t, 256>;
VgmOperandLengths vgmOperandLengths(int32_t version);

// Reads the data of the block whose 6-byte framing (0x66, type, 32-bit size)
// is at `framing` and appends the block to reader.blocks; false when the block
// was read past instead (beyond kMaxDataBlocks). `framing` is not used after
// the first refill of `in`.
bool storeDataBlock(VgmReader& reader, BufferedInput& in, const uint8_t* framing);

// Reads commands until the end command. Calls
// handler.command(command, operands) for every command but 0x67 (for 0x68 with
// the 10 bytes after the 0x66 marker); a handler returning true ends the walk.
// Before each command that lies wholly in the input window with room to spare,
// handler.run(next, end) may take a run of whole commands from [next, end) at
// once, exactly as one command() call each would, and return the number of
// bytes it took (0: none; the command then goes to command()). Only commands
// whose length does not depend on the file's version and that never end the
// walk may be taken that way. A handler with a dataBlockStored() member hears
// of every data block kept, right after it joined reader.blocks.
template <typename Handler>
VgmWalkResult walkCommandsWith(VgmReader& reader, BufferedInput& in, Handler& handler) {
    const VgmOperandLengths lengths = vgmOperandLengths(reader.version);
    uint8_t scratch[kMaxVgmOperandBytes];
    for (;;) {
        uint8_t command = 0;
        const uint8_t* operands = nullptr;
        if (static_cast<size_t>(in.end - in.next) > kMaxVgmOperandBytes) {
            // The common case: the command and all its operands lie in the window.
            if (const size_t taken = handler.run(in.next, in.end); taken != 0) {
                in.next += taken;
                continue;
            }
            command = *in.next++;
            const int length = lengths[command];
            if (length < 0) return kWalkInvalidCommand;
            operands = in.next;
            in.next += length;
        } else {
            if (!readInputByte(in, command)) return kWalkUnexpectedEnd;
            const int length = lengths[command];
            if (length < 0) return kWalkInvalidCommand;
            size_t got = 0;
            operands = readInputBytes(in, static_cast<size_t>(length), scratch, got);
            if (got < static_cast<size_t>(length)) return kWalkUnexpectedEnd;
        }
        if (command == kVgmDataBlock || command == kVgmPcmRamWrite) [[unlikely]] {
            if (operands[0] != kVgmEndOfSound) return kWalkInvalidCommand;
            if (command == kVgmDataBlock) {
                // A short block is not an error here: the next command read ends the walk.
                if (storeDataBlock(reader, in, operands)) {
                    if constexpr (requires { handler.dataBlockStored(); }) handler.dataBlockStored();
                }
                continue;
            }
            ++operands;  // the handler sees the 10 bytes after the marker
        }
        if (handler.command(command, operands)) return kWalkEnded;
        if (command == kVgmEndOfSound) return kWalkEnded;
    }
}
