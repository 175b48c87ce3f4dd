#include "tonepick/instruments/patch_files.h"

#include "tonepick/tonepick_run.h"

// Skeleton: replaced by the patch file writer.
void writePatchFiles(TonepickRun&) {}
