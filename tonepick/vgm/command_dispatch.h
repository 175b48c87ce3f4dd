#pragma once
// Turns VGM commands into the run's clock and chip register writes.

#include <cstdint>

struct BufferedInput;
struct TonepickRun;
struct VgmReader;

// Handles one command (see vgm_commands.h) with its operand bytes: advances
// run.stream, forwards chip writes to ym2612Write / sn76489Write, feeds the
// DAC from the most recent PCM block, and prints "Unhandled: %X\n" for
// commands it does not know. Always returns false (the walk goes on).
bool dispatchCommand(TonepickRun& run, uint8_t command, const uint8_t* operands);

// Installs dispatchCommand as run.reader's handler.
void installDispatcher(TonepickRun& run);

// walkCommands over `in` with dispatchCommand as the handler, called directly
// rather than through run.reader's handler pointer; returns a VgmWalkResult.
int walkAndDispatch(TonepickRun& run, BufferedInput& in);

// The byte that commands 0x80..0x8F send to the DAC at `offset`: false when
// there is no type 0x00 block or `offset` lies at or beyond its end.
bool pcmByteAt(const VgmReader& reader, uint32_t offset, uint8_t& byte);
