#!/usr/bin/env bash
# Renders a MIDI file to audio with TiMidity++ and prints
#   "seconds=<length of the audio> peak=<largest absolute 16-bit sample>"
# so a test can check that the audio is not silent and lasts as long as the
# MIDI file says.   render_check.sh file.mid scratch_dir
set -euo pipefail
mid=$1
scratch=$2
wav="$scratch/$(basename "$mid").render.wav"
timidity -q -Ow -o "$wav" "$mid" >/dev/null 2>&1
/usr/bin/python3 - "$wav" <<'PY'
import array, sys, wave
with wave.open(sys.argv[1], "rb") as w:
    frames = w.getnframes()
    data = array.array("h", w.readframes(frames))
    peak = max((abs(s) for s in data), default=0)
    print(f"seconds={frames / w.getframerate():.3f} peak={peak}")
PY
