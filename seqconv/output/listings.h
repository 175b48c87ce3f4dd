#pragma once
// The listings of a song's text file: which instrument bank patches the MIDI
// file uses, and which (sample patch, note) pair each DAC key stands for.

class OutputFile;
struct SeqconvRun;

// One line per entry of run.usedPatches ("Patch %02X (%s):" and the first five
// bytes of the patch data), then one per entry of run.dacKeys
// ("DAC (%d) %02X %02X"). Reads nothing outside the instrument bank.
void writeListings(const SeqconvRun& run, OutputFile& text);
