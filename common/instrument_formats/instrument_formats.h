#pragma once
// The nine instrument file formats, each a fixed-size byte image of one patch:
// gems, tyi, tfi, eif, y12, vgi, dmp, dmp0, smps (types 0..8). Multi-byte
// values are big-endian; every format but gems writes the heard total level
// (0x7F for an operator the key-on left off). eif is the ECHO register dump:
// the algorithm byte, then seven register blocks of four operators each.

#include <cstdint>
#include <string_view>

#include "common/instrument_formats/patch_record.h"

constexpr int kInstrumentTypeCount = 9;
constexpr int kMaxInstrumentSize = 128;

// The formats, one line each, as both tools' usage texts list them under -p.
inline constexpr const char* kInstrumentFormatUsageLines =
        "        gems - internal GEMS 2.8 format (default)\n"
        "        tyi  - Tiido's instrument file\n"
        "        tfi  - TFM Music Maker instrument file\n"
        "        eif  - ECHO instrument file\n"
        "        y12  - GensKMOD YM2612 channel dump\n"
        "        vgi  - VGM Music Maker instrument file\n"
        "        dmp  - DefleMask instrument file\n"
        "        dmp0 - DefleMask instrument file version 0\n"
        "        smps - internal SMPS format (Sonic 3)\n";

// The formats by number (a format's number is its `type` below).
enum InstrumentType : int8_t {
    kInstrumentGems, kInstrumentTyi, kInstrumentTfi, kInstrumentEif, kInstrumentY12,
    kInstrumentVgi, kInstrumentDmp, kInstrumentDmp0, kInstrumentSmps,
    kInstrumentUnknown = -1,  // no format has the name looked up
};

// Type whose name equals `name` ignoring letter case, or kInstrumentUnknown.
InstrumentType instrumentTypeByName(std::string_view name);
// Name (default extension) and file size of types 0..8.
const char* instrumentTypeName(int type);
int instrumentTypeSize(int type);

enum class InstrumentWrite : uint8_t {
    kWritten,      // the first instrumentTypeSize(type) bytes are filled
    kUnknownType,  // type outside 0..8: buffer untouched
};

// Fills the first instrumentTypeSize(type) bytes of buffer (at least
// kMaxInstrumentSize bytes).
InstrumentWrite writeInstrument(const PatchRecord& record, int type, uint8_t* buffer);
