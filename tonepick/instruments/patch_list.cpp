#include "tonepick/instruments/patch_list.h"

// Skeleton: replaced by the patch capture.
int32_t capturePatch(PatchList&, const PatchRecord&) { return 0; }
