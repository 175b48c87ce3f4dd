#pragma once
// The nine instrument file formats, each a fixed-size byte image of one patch.

#include <cstdint>
#include <string_view>

#include "tonepick/chips/patch_record.h"

constexpr int kInstrumentTypeCount = 9;
constexpr int kMaxInstrumentSize = 128;

// Type whose name equals `name` ignoring letter case, or -1.
int instrumentTypeByName(std::string_view name);
// Name (default extension), usage description and file size of types 0..8.
const char* instrumentTypeName(int type);
const char* instrumentTypeDescription(int type);
int instrumentTypeSize(int type);

// Fills the first instrumentTypeSize(type) bytes of buffer (at least
// kMaxInstrumentSize bytes). Returns 0, or 1 for a type outside 0..8.
int writeInstrument(const PatchRecord& record, int type, uint8_t* buffer);
