#pragma once
// Writes one instrument file per patch of the patch list after the walk.

struct TonepickRun;

// patch_00.EXT, patch_01.EXT, ... in run.settings.outputDir, in the chosen format.
void writePatchFiles(TonepickRun& run);
