#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"

int main(int argc, char** argv) {
    DiskFileSystem disk;
    TonepickRun run;
    run.files = &disk;
    return runTonepick(run, argc, argv);
}
