#pragma once
// One song from byte code to files: two interpretation passes with the end
// time chosen between them, then the MIDI file and the listings.

#include <cstdint>

struct SeqconvRun;
class OutputFile;

void convertSong(SeqconvRun& run, int32_t song, OutputFile& midi, OutputFile& text);
