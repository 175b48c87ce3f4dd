#!/usr/bin/python3
"""Reads Standard MIDI Files with mido (an independent reader, strict about
data bytes) and prints one summary per file:

    file <path>
    type <format> division <ticks per beat> tracks <count>
    track <i> name=<name> on=<note-ons with velocity > 0> off=<note-offs> bends=<pitch bends> end=<absolute tick of end of track> markers=<a|b|c>

A file mido refuses prints "error <path>: <reason>" and the exit code is 1.
"""
import sys

import mido


def summarise(path):
    mid = mido.MidiFile(path, clip=False)
    print(f"file {path}")
    print(f"type {mid.type} division {mid.ticks_per_beat} tracks {len(mid.tracks)}")
    for i, track in enumerate(mid.tracks):
        now = 0
        name = ""
        on = off = bends = 0
        end = -1
        markers = []
        for msg in track:
            now += msg.time
            if msg.type == "track_name" and not name:
                name = msg.name
            elif msg.type == "note_on" and msg.velocity > 0:
                on += 1
            elif msg.type == "note_off" or (msg.type == "note_on" and msg.velocity == 0):
                off += 1
            elif msg.type == "pitchwheel":
                bends += 1
            elif msg.type == "marker":
                markers.append(f"{msg.text}@{now}")
            elif msg.type == "end_of_track":
                end = now
        print(f"track {i} name={name} on={on} off={off} bends={bends} end={end} markers={'|'.join(markers)}")


def main():
    status = 0
    for path in sys.argv[1:]:
        try:
            summarise(path)
        except Exception as exc:  # any refusal by the reader is a finding
            print(f"error {path}: {exc}")
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
