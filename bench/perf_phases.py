#!/usr/bin/python3
"""Sorts the samples of a `perf record --call-graph dwarf` of feedwright into the phases of a run.

Usage: perf script -i perf.data --comm feedwright -F comm,ip,sym,dso \\
           | perf_phases.py [--hz F] [--runs N]

Each sample goes to the innermost frame that names a phase (start-up, download, decoding, ...);
a sample whose stack never names one is "elsewhere". With --hz (the sampling rate given to perf
record with -F, as for the cpu-clock event) and --runs (how many runs the profile holds) it also
prints milliseconds per run. Page faults are counted across phases: a sample with exc_page_fault
on its stack was taken while the kernel filled a fresh page.
"""
import argparse
import collections
import re
import signal
import sys

# Innermost match wins, so a page fault inside the body's append counts for the download.
PHASES = [
    ("start-up: loading and relocating libraries",
     r"^(_dl_start|_dl_map_object|_dl_relocate_object|dl_main|_dl_init|do_lookup_x|"
     r"_dl_lookup_symbol_x|_dl_sysdep_start|load_elf_binary|begin_new_exec|"
     r"bprm_execve)"),
    ("freeing: destructors, exit, unmapping",
     r"(^~|::~|__run_exit_handlers|_dl_fini|exit_mmap|do_group_exit)"),
    ("JSON Lines output",
     r"(JsonString|JsonLine|ListRows|basic_ostream|_IO_new_file|_IO_file_write)"),
    ("body: appending each received block (OnBody)", r"OnBody"),
    ("body: copied out of the client (ResponseText)", r"CurlHttpRequest::ResponseText"),
    ("download: libcurl and the socket",
     r"(CurlHttpRequest::|CurlTransfer|OnHeader|^curl_|^Curl_|^tcp_recvmsg|^sock_recvmsg)"),
    ("body check and decoding",
     r"(DecodeOwnedBody|DecodeUnlessUsableAsIs|Utf8::IsValid|TextDecoder)"),
    ("CleanDocument", r"CleanDocument"),
    ("StripHTML", r"(StripHTML|StripHtml)"),
    ("LoadXML (pugixml parse)", r"(LoadXML|load_buffer)"),
    ("ParseItems: field queries, items", r"(ParseItems|SelectSingleNode|XmlNode::)"),
    ("results rows (MemoryResultsList)", r"MemoryResultsList::"),
    ("retrieval run, other", r"RetrievalRun::"),
]
COMPILED = [(name, re.compile(pattern)) for name, pattern in PHASES]
ELSEWHERE = "elsewhere (stack names no phase)"


def samples(lines):
    """Yields each sample's frames as (symbol, dso), innermost first."""
    frames = []
    for line in lines:
        line = line.rstrip("\n")
        if not line.strip():
            if frames:
                yield frames
            frames = []
            continue
        if not line.startswith((" ", "\t")):
            continue  # the sample's header line
        match = re.match(r"\s*[0-9a-f]+\s+(.*?)\s+\((.*)\)$", line)
        if match:
            frames.append((match.group(1), match.group(2)))
    if frames:
        yield frames


def main():
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # quietly stop when piped into head
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--hz", type=float, default=0)
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--top", type=int, default=15)
    args = parser.parse_args()

    phase_count = collections.Counter()
    phase_faults = collections.Counter()
    leaf_count = collections.Counter()
    total = 0
    for frames in samples(sys.stdin):
        total += 1
        symbols = [re.sub(r"\+0x[0-9a-f]+$", "", symbol) for symbol, _ in frames]
        phase = ELSEWHERE
        for symbol in symbols:
            found = next((name for name, pattern in COMPILED if pattern.search(symbol)), None)
            if found:
                phase = found
                break
        phase_count[phase] += 1
        if any(symbol == "exc_page_fault" for symbol in symbols):
            phase_faults[phase] += 1
        leaf_count[f"{symbols[0][:90]} ({frames[0][1].rsplit('/', 1)[-1]})"] += 1
    if total == 0:
        sys.exit("no samples on standard input")

    per_run = (lambda n: f"{n * 1000.0 / args.hz / args.runs:8.1f}") if args.hz else (lambda n: "")
    print(f"{total} samples" + (f", {args.runs} runs at {args.hz:g} Hz" if args.hz else ""))
    print(f"\n{'phase':48} {'share':>6} {'ms/run' if args.hz else '':>8}  page faults in it")
    for name, _ in PHASES + [(ELSEWHERE, None)]:
        count = phase_count[name]
        if count:
            print(f"{name:48} {100.0 * count / total:5.1f}% {per_run(count)}  "
                  f"{100.0 * phase_faults[name] / count:4.0f}%")
    faults = sum(phase_faults.values())
    print(f"{'all phases':48} {100.0:5.1f}% {per_run(total)}  {100.0 * faults / total:4.0f}%")
    print(f"\ntop {args.top} innermost symbols")
    for symbol, count in leaf_count.most_common(args.top):
        print(f"  {100.0 * count / total:5.1f}%  {symbol}")


if __name__ == "__main__":
    main()
