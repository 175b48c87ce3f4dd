#include "seqconv/instrument_bank.h"

// Skeleton: replaced by the bank lookups.
int32_t patchOffset(const InstrumentBank&, int32_t) { return -1; }
int32_t patchType(const InstrumentBank&, int32_t) { return -1; }
const char* patchTypeName(int32_t) { return "NONE"; }
