#!/usr/bin/python3
"""Reads WAV files with Python's wave module (an independent reader) and
prints one tab-separated line per file:

    wav  path P  channels N  width BYTES  rate HZ  frames N  sum S

where sum is the sum of all sample bytes (for 8-bit files, the unsigned
sample values), so a test can tell that the data is the data it streamed.
A file the reader refuses, or whose data is shorter than its header says,
prints "error<TAB>path<TAB>reason" and the exit code is 1."""
import sys
import wave


def main():
    status = 0
    for path in sys.argv[1:]:
        try:
            with wave.open(path, "rb") as w:
                data = w.readframes(w.getnframes())
                if len(data) != w.getnframes() * w.getsampwidth() * w.getnchannels():
                    raise ValueError("data shorter than its header says")
                print("\t".join(str(x) for x in (
                    "wav", "path", path, "channels", w.getnchannels(), "width", w.getsampwidth(),
                    "rate", w.getframerate(), "frames", w.getnframes(), "sum", sum(data))))
        except Exception as exc:
            print(f"error\t{path}\t{exc}")
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
