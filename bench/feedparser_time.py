#!/usr/bin/python3
"""Times feedparser.parse on feed files, in-process, so interpreter start-up is not counted.

Usage: feedparser_time.py REPETITIONS FILE...
Prints one line per file: path, best time in seconds, number of entries, bozo flag (tab-separated).
Run it with Debian's /usr/bin/python3, which has python3-feedparser.
"""
import sys
import time

import feedparser


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    repetitions = max(1, int(argv[1]))
    for path in argv[2:]:
        with open(path, "rb") as feed_file:
            data = feed_file.read()
        best = None
        entries = 0
        bozo = 0
        for _ in range(repetitions):
            start = time.perf_counter()
            result = feedparser.parse(data)
            elapsed = time.perf_counter() - start
            entries = len(result.entries)
            bozo = int(bool(result.get("bozo", 0)))
            best = elapsed if best is None else min(best, elapsed)
        print(f"{path}\t{best:.6f}\t{entries}\t{bozo}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
