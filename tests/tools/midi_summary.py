#!/usr/bin/python3
"""Reads Standard MIDI Files with mido (an independent reader, strict about
data bytes: clip=False) and prints one summary per file, tab-separated as a
record kind followed by name/value pairs:

    file  path P  type T  division D  tracks N  seconds S
    track index I  name NAME  on N  off N  bends N  end TICK  markers TEXT@TICK|...
          keys K,K,...  channels C,C,...  tempo US

on counts note-ons with velocity > 0, off counts note-offs and note-ons with
velocity 0; end is the absolute tick of the end-of-track event (-1 when the
track has none); keys are the distinct note numbers of the note-ons; channels
the distinct MIDI channels of all channel messages; tempo the first tempo
(microseconds per quarter note, -1 when none); seconds the playing time as
mido works it out from the tempo map.

A file mido refuses prints "error<TAB>path<TAB>reason" and the exit code is 1.
"""
import sys

import mido


def fields(kind, *pairs):
    return "\t".join([kind] + [str(x) for pair in pairs for x in pair])


def summarise(path):
    mid = mido.MidiFile(path, clip=False)
    lines = [fields("file", ("path", path), ("type", mid.type), ("division", mid.ticks_per_beat),
                    ("tracks", len(mid.tracks)), ("seconds", f"{mid.length:.6f}"))]
    for i, track in enumerate(mid.tracks):
        now = 0
        name = ""
        on = off = bends = 0
        end = -1
        tempo = -1
        markers = []
        keys = set()
        channels = set()
        for msg in track:
            now += msg.time
            if hasattr(msg, "channel"):
                channels.add(msg.channel)
            if msg.type == "track_name" and not name:
                name = msg.name
            elif msg.type == "note_on" and msg.velocity > 0:
                on += 1
                keys.add(msg.note)
            elif msg.type == "note_off" or (msg.type == "note_on" and msg.velocity == 0):
                off += 1
            elif msg.type == "pitchwheel":
                bends += 1
            elif msg.type == "marker":
                markers.append(f"{msg.text}@{now}")
            elif msg.type == "set_tempo" and tempo < 0:
                tempo = msg.tempo
            elif msg.type == "end_of_track":
                end = now
        lines.append(fields("track", ("index", i), ("name", name), ("on", on), ("off", off),
                            ("bends", bends), ("end", end), ("markers", "|".join(markers)),
                            ("keys", ",".join(str(k) for k in sorted(keys))),
                            ("channels", ",".join(str(c) for c in sorted(channels))), ("tempo", tempo)))
    return lines


def main():
    status = 0
    for path in sys.argv[1:]:
        try:
            print("\n".join(summarise(path)))
        except Exception as exc:  # any refusal by the reader is a finding
            print(f"error\t{path}\t{exc}")
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
