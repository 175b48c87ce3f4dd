#include "tonepick/midi/note_conversion.h"

// Skeleton: replaced by the conversions.
int ym2612NoteOf(int32_t) { return 0; }
int pitchBendOf(int32_t, int) { return 8192; }
int psgNoteOf(int32_t) { return 33; }
