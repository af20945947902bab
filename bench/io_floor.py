#!/usr/bin/env python3
"""The I/O floor of a render, measured by a process of its own.

CueRenderBench writes a manifest of the traffic a render causes and runs this script between
renders, to show that the floor it measures inside its own process is not coloured by that
process (its memory, its threads, what the render left behind in it).

Usage: io_floor.py MANIFEST SCRATCH_FOLDER

Each line of the manifest is one step, done in order:
    read <path>      every byte of the file is read, in 4 MB pieces
    write <bytes>    a new file of that size is written into the scratch folder in 4 MB
                     pieces and flushed to the disk (fsync), as the render's writer does
The script prints the seconds the traffic took, and nothing else, on one line. The scratch
folder is created for the run and removed afterwards (outside the timing).
"""

import os
import shutil
import sys
import time

PIECE = 4 << 20


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2

    manifest, scratch = sys.argv[1], sys.argv[2]

    with open(manifest, encoding="utf-8") as f:
        steps = [line.rstrip("\n").split(" ", 1) for line in f if line.strip()]

    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    buffer = bytearray(PIECE)
    zeros = memoryview(bytes(PIECE))
    written = 0

    start = time.monotonic()

    for kind, argument in steps:
        if kind == "read":
            with open(argument, "rb", buffering=0) as f:
                while f.readinto(buffer) > 0:
                    pass
        elif kind == "write":
            left = int(argument)
            with open(os.path.join(scratch, "file%d.bin" % written), "wb", buffering=0) as f:
                while left > 0:
                    n = min(left, PIECE)
                    f.write(zeros[:n])
                    left -= n
                os.fsync(f.fileno())
            written += 1
        else:
            print("unknown step: " + kind, file=sys.stderr)
            return 2

    elapsed = time.monotonic() - start
    shutil.rmtree(scratch, ignore_errors=True)
    print("%.4f" % elapsed)
    return 0


if __name__ == "__main__":
    sys.exit(main())
