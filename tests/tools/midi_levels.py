#!/usr/bin/python3
"""Compares vgm.mid files written with -m plain and -m levels, read with mido
(clip=False: data bytes above 127 are refused). Arguments: pairs of paths,
plain first. For each pair prints one line

    pair  path P  noteons N  expression N  pan N  velocities N

(noteons: note-ons with velocity > 0; expression and pan: controller 11 and 10
events; velocities: distinct note-on velocities), and one "error<TAB>path<TAB>
reason" line for every difference found: a note or pitch event that is not
the same event at the same tick in both files, a note-on velocity outside
1..127, a controller value outside 0..127, or controllers in plain mode.
"""
import sys

import mido


def timed(track):
    now = 0
    for msg in track:
        now += msg.time
        yield now, msg


def designed(track):
    """The events both modes share: everything but note-on velocities and
    controllers 10 and 11."""
    out = []
    for now, msg in timed(track):
        if msg.type == "control_change" and msg.control in (10, 11):
            continue
        if msg.type == "note_on":
            out.append((now, "note_on", msg.channel, msg.note))
        else:
            out.append((now, str(msg.copy(time=0))))
    return out


def compare(plain_path, levels_path):
    errors = []
    plain = mido.MidiFile(plain_path, clip=False)
    levels = mido.MidiFile(levels_path, clip=False)
    counts = {"noteons": 0, "expression": 0, "pan": 0}
    velocities = set()
    if len(plain.tracks) != len(levels.tracks):
        errors.append("track counts differ")
    for index, (p, l) in enumerate(zip(plain.tracks, levels.tracks)):
        if designed(p) != designed(l):
            errors.append(f"track {index}: note or pitch events differ")
        for _, msg in timed(p):
            if msg.type == "control_change" and msg.control in (10, 11):
                errors.append(f"track {index}: controller {msg.control} in plain mode")
        for now, msg in timed(l):
            if msg.type == "note_on":
                if not 1 <= msg.velocity <= 127:
                    errors.append(f"track {index}: velocity {msg.velocity} at {now}")
                counts["noteons"] += 1
                velocities.add(msg.velocity)
            elif msg.type == "control_change" and msg.control in (10, 11):
                if not 0 <= msg.value <= 127:
                    errors.append(f"track {index}: controller value {msg.value} at {now}")
                counts["expression" if msg.control == 11 else "pan"] += 1
    print("\t".join(["pair", "path", levels_path] + [str(x) for k, v in counts.items() for x in (k, v)] +
                    ["velocities", str(len(velocities))]))
    for e in errors:
        print(f"error\t{levels_path}\t{e}")
    return not errors


def main():
    ok = True
    args = sys.argv[1:]
    for i in range(0, len(args) - 1, 2):
        try:
            ok = compare(args[i], args[i + 1]) and ok
        except Exception as e:  # mido refuses the file
            print(f"error\t{args[i + 1]}\t{e}")
            ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
