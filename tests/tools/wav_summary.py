#!/usr/bin/python3
"""Reads WAV files with Python's wave module (an independent reader) and
prints "<path> channels=<n> width=<bytes> rate=<hz> frames=<n>" per file;
a file the reader refuses prints "error <path>: <reason>" and exits 1."""
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
                print(f"{path} channels={w.getnchannels()} width={w.getsampwidth()} "
                      f"rate={w.getframerate()} frames={w.getnframes()}")
        except Exception as exc:
            print(f"error {path}: {exc}")
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
