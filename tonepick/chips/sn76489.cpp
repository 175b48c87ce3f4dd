#include "tonepick/chips/sn76489.h"

#include "tonepick/tonepick_run.h"

// Skeleton: replaced by the SN76489 model.
void sn76489Write(TonepickRun&, uint8_t) {}
