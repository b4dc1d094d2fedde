#!/usr/bin/env python3
"""Reads a feed with Python's csv module (delimiter ';'), touching every
field, for comparison with readbench. Prints the same FIGURE lines."""

import csv
import os
import sys
import time


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: pycsv_read.py FEED\n")
        return 2
    path = sys.argv[1]
    start = time.perf_counter()
    rows = 0
    checksum = 0
    with open(path, newline="", encoding="utf-8") as feed:
        reader = csv.reader(feed, delimiter=";")
        header = next(reader)
        for row in reader:
            if len(row) != len(header):
                break
            rows += 1
            for field in row:
                checksum += len(field)
    seconds = time.perf_counter() - start
    size = os.path.getsize(path)
    print("python csv: %d rows, %.1f MB in %.3f s: %.1f MB/s %.0f rows/s (checksum %d)"
          % (rows, size / 1e6, seconds, size / 1e6 / seconds, rows / seconds, checksum))
    print("FIGURE py_seconds %.6f" % seconds)
    print("FIGURE py_rows %d" % rows)
    return 0


if __name__ == "__main__":
    sys.exit(main())
