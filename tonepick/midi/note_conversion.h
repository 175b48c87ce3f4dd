#pragma once
// Chip frequencies to MIDI notes and pitch bends. Both chips map middle C
// (261.63 Hz) to note 48, one octave below standard MIDI pitch. The YM2612
// table is laid out for a 7670454 Hz chip; the SN76489 conversion assumes a
// 3579545 Hz chip. Neither looks at the clocks of the VGM header.

#include <cstdint>

// YM2612 frequency word (block in bits 11..13, fnum in bits 0..10, higher bits
// ignored) -> nearest note 0..95 on a geometric scale; below block 0 C gives 0.
int ym2612NoteOf(int32_t freqWord);

// Bend 0..16383 (centre 8192, 8192 units per octave) of freqWord measured from
// note; a word of linear value 0 gives 0. Notes outside 0..127 are clamped.
int pitchBendOf(int32_t freqWord, int note);

// SN76489 10-bit tone period -> note 33..96 whose period is nearest in period
// units; ties go to the lower note.
int psgNoteOf(int32_t period);
