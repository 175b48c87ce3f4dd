#pragma once
// The loudness and panning of the chips in vgm.mid (mode "levels"): velocity
// of each note-on from the channel's level at that moment, expression
// (controller 11) for level changes while a note sounds, pan (controller 10)
// for the FM channels. Levels arrive as the chip models recorded them
// (level_events.h): FM total-level steps of 0.75 dB, PSG attenuation steps of
// 2 dB.
//
// A MIDI value v stands for 127 x 10^(-dB/40), the usual reading of velocity
// and expression as 40 log10(v / 127) dB.

#include <array>
#include <cstdint>
#include <string_view>

#include "tonepick/chips/level_events.h"

enum class VgmMidiMode {
    kPlain,   // notes and pitch bends only, every velocity 127
    kLevels,  // also velocities, expression and FM pan from the chips' levels
};

// The mode named "plain" or "levels", in any letter case; false for any other name.
bool vgmMidiModeByName(std::string_view name, VgmMidiMode& mode);

constexpr uint8_t kFullExpression = 127;
constexpr uint8_t kPanCentre = 64;
constexpr uint8_t kPanHardLeft = 0;
constexpr uint8_t kPanHardRight = 127;

// round(127 x 10^(-decibels / 40)); 127 for 0 dB or less.
uint8_t midiValueOfAttenuation(double decibels);

// MIDI values of 0, 1, 2, ... level steps below full loudness, for both chips:
// fm[s] for s steps of 0.75 dB (s up to kFmNoCarrier), psg[s] for s steps of 2 dB.
struct LevelScale {
    std::array<uint8_t, kFmNoCarrier + 1> fm{};
    std::array<uint8_t, 16> psg{};
};
LevelScale makeLevelScale();

// The velocity of a note-on at `level` (at least 1: a note-on of velocity 0
// would be a note-off).
uint8_t fmVelocity(const LevelScale& scale, int level);
uint8_t psgVelocity(const LevelScale& scale, int level);

// Pan of the L/R bits of register 0xB4: both centre, left only hard left,
// right only hard right, neither centre (the channel is then silent).
uint8_t panOfBits(uint8_t panBits);

// What one track has said so far, and the level its channel is at.
struct LevelFollower {
    const LevelScale* scale = nullptr;
    bool fm = true;
    uint8_t level = 0;       // current level of the channel
    uint8_t panBits = kPanLeft | kPanRight;  // at the last FM key-on
    uint8_t noteLevel = 0;   // level at the sounding note's note-on
    int expression = kFullExpression;  // controller 11 as last written
    int pan = -1;            // controller 10 as last written; -1 none yet
};

// The controllers to write before a note-on, each -1 when nothing is to be
// written, and its velocity. Starting a note: expression goes back to full
// if it was changed, pan is written at the first note and when it changed.
// A key-on whose L/R bits are both off sounds nothing: velocity 1.
struct NoteOnLevels {
    int expression = -1;
    int pan = -1;
    uint8_t velocity = 0;
};
NoteOnLevels startNote(LevelFollower& f);

// Takes one level event in; while a note sounds, returns the expression value
// to write when it changed (-1 otherwise): full when the channel is as loud as
// at the note-on or louder, else the MIDI value of the extra attenuation.
int followLevel(LevelFollower& f, const LevelEvent& event, bool sounding);
