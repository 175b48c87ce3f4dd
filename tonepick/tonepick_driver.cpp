#include "tonepick/tonepick_driver.h"

#include "tonepick/tonepick_run.h"

// Skeleton: replaced by the command line and run driver.
int runTonepick(TonepickRun&, int, const char* const[]) { return 0; }
int convertVgmBytes(TonepickRun&, const uint8_t*, size_t) { return 0; }
