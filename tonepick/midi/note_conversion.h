#pragma once
// Chip frequencies to MIDI notes and pitch bends. Both chips map middle C
// (261.63 Hz) to note 48, one octave below standard MIDI pitch.

#include <cstdint>

// YM2612 frequency word (block << 11 | fnum) -> note 0..95.
int ym2612NoteOf(int32_t freqWord);
// Bend 0..16383 (centre 8192, 8192 units per octave) of freqWord relative to note.
int pitchBendOf(int32_t freqWord, int note);
// SN76489 10-bit tone period -> note 33..96.
int psgNoteOf(int32_t period);
