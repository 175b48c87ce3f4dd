#include "tonepick/vgm/command_dispatch.h"

#include <cstdio>

#include "common/byte_order.h"
#include "tonepick/chips/dac_capture.h"
#include "tonepick/tonepick_run.h"
#include "tonepick/vgm/vgm_commands.h"
#include "tonepick/vgm/vgm_walk.h"

bool pcmByteAt(const VgmReader& reader, uint32_t offset, uint8_t& byte) {
    if (reader.pcmBlock < 0) return false;
    const auto& pcm = reader.blocks[static_cast<size_t>(reader.pcmBlock)].bytes;
    if (offset >= pcm.size()) return false;
    byte = pcm[offset];
    return true;
}

namespace {

constexpr uint8_t kWaitMask = 0x0F;

// Waits and PCM bytes first: they are most of a typical stream.
inline bool dispatch(TonepickRun& run, uint8_t command, const uint8_t* operands) {
    StreamState& s = run.stream;
    switch (command >> 4) {
        case kVgmShortWaitFirst >> 4:
            s.sampleTime += (command & kWaitMask) + 1u;
            return false;
        case kVgmDacWriteFirst >> 4: {
            uint8_t byte = 0;
            // A PCM byte is a YM2612 write of register 0x2A on port 0, which
            // goes straight to the DAC capture.
            if (pcmByteAt(run.reader, s.pcmOffset, byte)) dacData(run, byte);
            s.pcmOffset += 1;
            s.sampleTime += command & kWaitMask;  // 0..15, unlike 0x7n
            return false;
        }
        default:
            break;
    }
    switch (command) {
        case kVgmGameGearStereo:
        case kVgmEndOfSound:
            break;
        case kVgmPsgWrite:
            sn76489Write(run, operands[0]);
            break;
        case kVgmYm2612Port0:
        case kVgmYm2612Port1:
            ym2612Write(run, command == kVgmYm2612Port0 ? 0 : 1, operands[0], operands[1]);
            break;
        case kVgmWaitSamples:
            s.sampleTime += readLe16(operands);
            break;
        case kVgmWaitNtscFrame:
            s.sampleTime += s.frameWaits[0];
            break;
        case kVgmWaitPalFrame:
            s.sampleTime += s.frameWaits[1];
            break;
        case kVgmOverrideFrameWait:
            if (operands[0] == kVgmWaitNtscFrame) s.frameWaits[0] = readLe16(operands + 1);
            if (operands[0] == kVgmWaitPalFrame) s.frameWaits[1] = readLe16(operands + 1);
            break;
        case kVgmPcmSeek:
            s.pcmOffset = readLe32(operands);
            break;
        default:
            std::fprintf(run.out, "Unhandled: %X\n", static_cast<unsigned>(command));
            break;
    }
    return false;
}

bool dispatchThunk(void* context, uint8_t command, const uint8_t* operands) {
    return dispatch(*static_cast<TonepickRun*>(context), command, operands);
}

}  // namespace

void installDispatcher(TonepickRun& run) {
    run.reader.handler = dispatchThunk;
    run.reader.handlerContext = &run;
}

bool dispatchCommand(TonepickRun& run, uint8_t command, const uint8_t* operands) {
    return dispatch(run, command, operands);
}

int walkAndDispatch(TonepickRun& run, BufferedInput& in) {
    return walkCommandsWith(run.reader, in, [&run](uint8_t command, const uint8_t* operands) {
        return dispatch(run, command, operands);
    });
}
