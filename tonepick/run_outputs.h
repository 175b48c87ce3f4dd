#pragma once
// The run's output side: the output directory, made once before the first
// file that needs it, and every output file but vgm.mid, each written through
// one OutputWriter (a failure is reported and marks the run as failed).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TonepickRun;

// Creates the output directory unless this run already tried (an empty
// directory argument means the current directory: nothing to create). When
// the path is not a directory after that one attempt, prints
// "Error: Can't create directory" once and marks the run as failed.
void makeOutputDir(TonepickRun& run);

// The capture's finished sample as the next sample_NNN.wav, making the output
// directory first: samples are written during the walk.
void writeDacSample(TonepickRun& run);

// With -s kit, after the walk: every kept sample of the kit becomes
// sample_NNN.wav (numbered in the order of first play), read from the PCM
// data, the stream bank or the direct stretches; samples with the same rate
// and bytes share the first one's file. kit.txt lists the files, kit.sfz maps
// them to their notes. Returns the file number by provisional sample index,
// for the drum track.
std::vector<uint32_t> writeKitSamples(TonepickRun& run);

// patch_00.EXT, patch_01.EXT, ... (patch_100 and up unshortened) in format
// run.settings.formatIndex with extension run.settings.patchExtension. An
// unknown format index writes nothing. With -i unique an instrument whose file
// bytes equal those of an earlier one is not written again, and the files
// are numbered without gaps.
void writePatchFiles(TonepickRun& run);

// "patch_NN.EXT": the name of instrument file `index` (from 0).
std::string patchFileName(size_t index, const std::string& extension);

// datablock_NN(TT).bin for every stored data block; a block whose file holds
// fewer bytes than its declared size counts as not written.
void writeDataBlocks(TonepickRun& run);
