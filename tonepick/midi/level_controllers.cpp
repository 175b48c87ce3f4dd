#include "tonepick/midi/level_controllers.h"

#include <cmath>

#include "common/ascii_case.h"

namespace {

constexpr double kFmDecibelsPerStep = 0.75;
constexpr double kPsgDecibelsPerStep = 2.0;
constexpr uint8_t kMaxMidiValue = 127;

// The scale's value of `steps` steps below full loudness (steps beyond the
// table's end: its last value).
template <size_t N>
uint8_t valueOfSteps(const std::array<uint8_t, N>& table, int steps) {
    if (steps <= 0) return table[0];
    return table[steps < static_cast<int>(N) ? static_cast<size_t>(steps) : N - 1];
}

}  // namespace

bool vgmMidiModeByName(std::string_view name, VgmMidiMode& mode) {
    if (equalIgnoringCase(name, "plain")) {
        mode = VgmMidiMode::kPlain;
    } else if (equalIgnoringCase(name, "levels")) {
        mode = VgmMidiMode::kLevels;
    } else {
        return false;
    }
    return true;
}

uint8_t midiValueOfAttenuation(double decibels) {
    if (decibels <= 0) return kMaxMidiValue;
    return static_cast<uint8_t>(std::lround(kMaxMidiValue * std::pow(10.0, -decibels / 40.0)));
}

LevelScale makeLevelScale() {
    LevelScale scale;
    for (size_t s = 0; s < scale.fm.size(); ++s) scale.fm[s] = midiValueOfAttenuation(kFmDecibelsPerStep * static_cast<double>(s));
    for (size_t s = 0; s < scale.psg.size(); ++s)
        scale.psg[s] = midiValueOfAttenuation(kPsgDecibelsPerStep * static_cast<double>(s));
    return scale;
}

uint8_t fmVelocity(const LevelScale& scale, int level) {
    const uint8_t v = valueOfSteps(scale.fm, level);
    return v == 0 ? 1 : v;
}

uint8_t psgVelocity(const LevelScale& scale, int level) {
    const uint8_t v = valueOfSteps(scale.psg, level);
    return v == 0 ? 1 : v;
}

uint8_t panOfBits(uint8_t panBits) {
    switch (panBits & (kPanLeft | kPanRight)) {
        case kPanLeft:
            return kPanHardLeft;
        case kPanRight:
            return kPanHardRight;
        default:
            return kPanCentre;
    }
}

NoteOnLevels startNote(LevelFollower& f) {
    NoteOnLevels out;
    if (f.expression != kFullExpression) {
        out.expression = kFullExpression;
        f.expression = kFullExpression;
    }
    f.noteLevel = f.level;
    if (!f.fm) {
        out.velocity = psgVelocity(*f.scale, f.level);
        return out;
    }
    const int pan = panOfBits(f.panBits);
    if (pan != f.pan) {
        out.pan = pan;
        f.pan = pan;
    }
    out.velocity = f.panBits == 0 ? 1 : fmVelocity(*f.scale, f.level);
    return out;
}

int followLevel(LevelFollower& f, const LevelEvent& event, bool sounding) {
    f.level = event.level;
    if (event.kind == LevelEventKind::kKeyOn) {
        f.panBits = event.pan;
        return -1;
    }
    if (!sounding) return -1;
    const int steps = static_cast<int>(f.level) - static_cast<int>(f.noteLevel);
    const int value = f.fm ? valueOfSteps(f.scale->fm, steps) : valueOfSteps(f.scale->psg, steps);
    if (value == f.expression) return -1;
    f.expression = value;
    return value;
}
