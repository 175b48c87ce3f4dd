#pragma once
// Reads a VGM file: header, data blocks, and the command stream handed to a
// handler. (Skeleton: the reader is filled in with the command walk.)

#include <cstdint>
#include <vector>

struct DataBlock {
    uint8_t type = 0;
    uint32_t size = 0;           // as stored in the file
    std::vector<uint8_t> bytes;  // the bytes actually present (at most size)
};

struct VgmReader {
    int32_t version = 0;
    int32_t psgClock = 3579545;
    int32_t ym2612Clock = 7670454;
    std::vector<DataBlock> blocks;
};
