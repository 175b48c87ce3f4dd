#include "tonepick/vgm/command_dispatch.h"

bool pcmByteAt(const VgmReader& reader, uint32_t offset, uint8_t& byte) {
    if (reader.pcmBlock < 0) return false;
    const auto& pcm = reader.blocks[static_cast<size_t>(reader.pcmBlock)].bytes;
    if (offset >= pcm.size()) return false;
    byte = pcm[offset];
    return true;
}
