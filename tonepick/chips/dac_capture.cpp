#include "tonepick/chips/dac_capture.h"

#include "tonepick/tonepick_run.h"

// Skeleton: replaced by the DAC capture.
void dacData(TonepickRun&, uint8_t) {}
void dacEnable(TonepickRun&, uint8_t) {}
void flushOpenDacCapture(TonepickRun&) {}
