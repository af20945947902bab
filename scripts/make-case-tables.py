#!/usr/bin/env python3
"""Prints the case tables of src/core/model/CaseFolding.cpp: the simple lower- and upper-case
mappings of the C.UTF-8 locale, as runs of code points that move by the same distance.
Needs a C compiler; run it on the platform whose C.UTF-8 results the tables must keep."""

import os
import subprocess
import tempfile

PROGRAM = r'''
#include <locale.h>
#include <stdio.h>
#include <wctype.h>

int main (void)
{
    if (! setlocale (LC_CTYPE, "C.UTF-8"))
        return 1;

    for (unsigned c = 0; c < 0x110000; ++c)
        printf ("%u %d %d\n", c, (int) towlower (c) - (int) c, (int) towupper (c) - (int) c);

    return 0;
}
'''


def runs(pairs):
    """(code point, delta) pairs as (first, last, delta, stride) runs, stride 1 or 2."""
    result = []
    for c, delta in pairs:
        if result:
            first, last, d, stride = result[-1]
            if d == delta and ((stride == 0 and c - last in (1, 2)) or (stride and c - last == stride)):
                result[-1] = (first, c, d, stride or c - last)
                continue
        result.append((c, c, delta, 0))
    return [(first, last, d, stride or 1) for first, last, d, stride in result]


def table(name, rows):
    lines = [f"        {{ 0x{first:05x}, 0x{last:05x}, {d}, {stride} }}," for first, last, d, stride in rows]
    return f"    const CaseRange {name}[] = {{\n" + "\n".join(lines) + "\n    };\n"


def main():
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "cases.c")
        program = os.path.join(folder, "cases")
        with open(source, "w") as f:
            f.write(PROGRAM)
        subprocess.check_call(["cc", "-O2", "-o", program, source])
        output = subprocess.check_output([program]).decode()

    lower, upper = [], []
    for line in output.splitlines():
        c, to_lower, to_upper = map(int, line.split())
        if to_lower:
            lower.append((c, to_lower))
        if to_upper:
            upper.append((c, to_upper))

    print(table("lowerRanges", runs(lower)))
    print(table("upperRanges", runs(upper)), end="")


if __name__ == "__main__":
    main()
