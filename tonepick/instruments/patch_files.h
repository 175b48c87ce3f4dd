#pragma once
// Writes one instrument file per patch of the patch list after the walk.

struct TonepickRun;

// patch_00.EXT, patch_01.EXT, ... (patch_100 and up unshortened) in
// run.settings.outputDir, in format run.settings.formatIndex with extension
// run.settings.patchExtension, created through run.files. A file that cannot
// be created or is written short is reported on run.out and the next follows.
// An unknown format index writes nothing.
void writePatchFiles(TonepickRun& run);
