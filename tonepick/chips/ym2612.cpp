#include "tonepick/chips/ym2612.h"

#include "tonepick/tonepick_run.h"

// Skeleton: replaced by the register model.
void ym2612Write(TonepickRun&, int, int, int) {}
