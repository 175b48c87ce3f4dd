#include "tonepick/instruments/instrument_formats.h"

// Skeleton: replaced by the nine formats.
int instrumentTypeByName(std::string_view) { return 0; }
const char* instrumentTypeName(int) { return "gems"; }
const char* instrumentTypeDescription(int) { return ""; }
int instrumentTypeSize(int) { return 0; }
int writeInstrument(const PatchRecord&, int, uint8_t*) { return 1; }
