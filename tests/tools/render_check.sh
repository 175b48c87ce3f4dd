#!/usr/bin/env bash
# Renders a MIDI file to audio with TiMidity++ and prints one line
#   seconds=<length of the audio> peak=<largest absolute 16-bit sample> audible_until=<seconds>
# (audible_until: time of the last sample louder than 1/128 of full scale), so a
# test can check that the audio is not silent and lasts as long as the MIDI
# file says.   render_check.sh file.mid scratch_dir
# When the freepats patch set is installed it is loaded after timidity's own
# configuration and its instruments take over, so every machine renders with
# the same sounds (a soundfont that timidity.cfg names but that is not
# installed is only a warning). Exit code 1 with "error ..." when rendering fails.
set -euo pipefail
mid=$1
scratch=$2
wav="$scratch/$(basename "$mid").render.wav"
config=()
if [ -f /etc/timidity/freepats.cfg ] && [ -d /usr/share/midi/freepats ]; then
  config=(-c /etc/timidity/freepats.cfg)
fi
if ! timidity "${config[@]}" -Ow -o "$wav" "$mid" >"$scratch/timidity.log" 2>&1 || [ ! -s "$wav" ]; then
  echo "error timidity could not render $mid: $(tail -n 3 "$scratch/timidity.log" | tr '\n' ' ')"
  exit 1
fi
/usr/bin/python3 - "$wav" <<'PY'
import array, sys, wave
with wave.open(sys.argv[1], "rb") as w:
    if w.getsampwidth() != 2:
        print(f"error unexpected sample width {w.getsampwidth()}")
        sys.exit(1)
    frames = w.getnframes()
    channels = w.getnchannels()
    rate = w.getframerate()
    data = array.array("h", w.readframes(frames))
    if sys.byteorder == "big":
        data.byteswap()
    peak = max((abs(s) for s in data), default=0)
    last = -1
    for i in range(len(data) - 1, -1, -1):
        if abs(data[i]) > 256:
            last = i
            break
    until = (last // channels + 1) / rate if last >= 0 else 0.0
    print(f"seconds={frames / rate:.3f} peak={peak} audible_until={until:.3f}")
PY
