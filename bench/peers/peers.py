#!/usr/bin/env python3
"""The measuring and checking half of bench/peers.sh.

    peers.py measure RESULTS STEP TOOL ROUND STDOUT -- COMMAND...
        runs COMMAND once with its standard output in STDOUT and appends one
        line of figures to RESULTS (tab-separated): wall seconds, user and
        system seconds, the peak resident set (exact), and the peaks of
        anonymous and file-backed resident memory (sampled).
    peers.py agree-delta FEED.log FIDMORA_OUT TOOL=OUT...
    peers.py agree-dedup FEED FIDMORA_OUT TOOL=OUT...
        check that every tool wrote the same rows as fidmora-cli; print
        AGREE or DISAGREE lines and exit 1 on a disagreement.
    peers.py report RESULTS STEPS
        prints the figures, the ratios and the targets.

Memory. The kernel keeps an exact peak only of the whole resident set
(VmHWM; wait4's ru_maxrss, which GNU time prints too): that figure is exact
here. It keeps no peak of its two halves, so RssAnon (the heap: what the
program allocated) and RssFile (pages of mapped files: the program's own
code and libraries, and a feed it maps instead of reading) are read from
/proc/PID/status every 5 ms by a thread while the main one waits for the
program to end (so that the wall time ends with it), and their largest
values are the peaks given. A peak shorter than 5 ms can be missed; a
sampled peak is therefore a lower bound, and the exact whole peak is printed
beside it. The sampler reads one small file per sample, well under 1 % of a
processor.
"""

import csv
import hashlib
import os
import statistics
import subprocess
import sys
import threading
import time

SAMPLE_SECONDS = 0.005


# --------------------------------------------------------------------------
# measure

def status_kb(pid):
    """RssAnon and RssFile of a running process in kB, or None when gone."""
    try:
        with open(f"/proc/{pid}/status", "rb") as f:
            text = f.read()
    except OSError:
        return None
    anon = file = None
    for line in text.split(b"\n"):
        if line.startswith(b"RssAnon:"):
            anon = int(line.split()[1])
        elif line.startswith(b"RssFile:"):
            file = int(line.split()[1])
    if anon is None or file is None:  # a zombie has no memory lines
        return None
    return anon, file


def measure(args):
    results, step, tool, round_, stdout_path = args[:5]
    if args[5] != "--":
        sys.exit("peers.py measure: expected -- before the command")
    command = args[6:]
    peaks = [0, 0, 0]  # RssAnon, RssFile, samples
    stop = threading.Event()

    def sample(pid):
        # Until the process is reaped: a zombie has no memory lines, a reaped
        # process no status file.
        while not stop.is_set():
            kb = status_kb(pid)
            if kb is not None:
                peaks[0] = max(peaks[0], kb[0])
                peaks[1] = max(peaks[1], kb[1])
                peaks[2] += 1
            stop.wait(SAMPLE_SECONDS)

    with open(stdout_path, "wb") as out, open(stdout_path + ".err", "wb") as err:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=out, stderr=err)
        sampler = threading.Thread(target=sample, args=(process.pid,))
        sampler.start()
        # The wall time ends when the process does, not at the sampler's next tick.
        _, wait_status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        stop.set()
        sampler.join()
        process.returncode = os.waitstatus_to_exitcode(wait_status)
    anon_peak, file_peak, samples = peaks
    if process.returncode != 0:
        sys.stderr.write(f"peers.py: {tool} ({step}) failed with status {process.returncode}: {' '.join(command)}\n")
        with open(stdout_path + ".err", "rb") as err:
            sys.stderr.write(err.read().decode("utf-8", "replace")[-3000:])
        sys.exit(1)
    with open(results, "a") as f:
        f.write("\t".join([step, tool, round_, f"{wall:.4f}", f"{usage.ru_utime:.4f}", f"{usage.ru_stime:.4f}",
                           str(usage.ru_maxrss), str(anon_peak), str(file_peak), str(samples)]) + "\n")


# --------------------------------------------------------------------------
# agreement

csv.field_size_limit(1 << 30)


def read_rows(path):
    """The header and an iterator over the rows of a CSV file in the feed's
    dialect (the rows are read as they are taken)."""
    f = open(path, encoding="utf-8", newline="")
    reader = csv.reader(f, delimiter=";", quotechar='"', doublequote=True, strict=True)
    header = next(reader, None)
    if header is None:
        f.close()
        return [], iter(())

    def rows():
        with f:
            yield from reader
    return header, rows()


def digest(cells):
    return hashlib.blake2b("\x1f".join(cells).encode("utf-8"), digest_size=16).digest()


def digest_lf(cells):
    """The digest of the cells with every CR LF inside them read as LF: tells
    a row that differs only in its line breaks."""
    return digest([c.replace("\r\n", "\n") for c in cells])


class Table:
    """A tool's output: per row the url, the status (if any) and a digest of
    the cells of the reference columns, taken by name."""

    def __init__(self, path, columns):
        header, rows = read_rows(path)
        self.path = path
        self.header = header
        index = {name: i for i, name in enumerate(header)}
        self.missing = [c for c in columns if c not in index]
        self.extra = [c for c in header if c not in columns and c != "status"]
        picks = [index.get(c) for c in columns]
        url = index.get("url")
        status = index.get("status")
        self.rows = []
        self.lf = {}  # (url, status) -> digest_lf of its row
        self.bad = 0
        for row in rows:
            if len(row) != len(header):
                self.bad += 1
                continue
            cells = [row[i] if i is not None else "" for i in picks]
            self.rows.append((row[url] if url is not None else "", row[status] if status is not None else "", digest(cells)))
            self.lf[self.rows[-1][0], self.rows[-1][1]] = digest_lf(cells)


def describe_columns(name, table):
    notes = []
    if table.missing:
        notes.append(f"lacks columns {', '.join(table.missing)}")
    if table.extra:
        notes.append(f"has other columns {', '.join(table.extra)}")
    if table.bad:
        notes.append(f"{table.bad} rows with another number of cells than its header")
    return f"  {name}: " + "; ".join(notes) if notes else None


def fig(log, name):
    with open(log) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 3 and parts[0] == "FIGURE" and parts[1] == name:
                return int(float(parts[2]))
    return None


# Tools that write a quoted cell's CR LF as LF (Miller does, whatever the
# input): their rows that differ only in that count as agreeing, and are
# counted aloud.
LF_TOOLS = {"miller"}


def agree_delta(args):
    base_log, fidmora_path = args[0], args[1]
    others = [a.split("=", 1) for a in args[2:]]
    with open(fidmora_path, encoding="utf-8", newline="") as f:
        columns = [c for c in next(csv.reader(f, delimiter=";")) if c != "status"]
    reference = Table(fidmora_path, columns)
    disagreements = 0

    def counts(table):
        c = {"+": 0, "~": 0, "-": 0}
        for _, s, _ in table.rows:
            c[s] = c.get(s, 0) + 1
        return c

    ref_counts = counts(reference)
    want = (fig(base_log, "base_dropped"), fig(base_log, "base_changed"), fig(base_log, "base_added"))
    got = (ref_counts["+"], ref_counts["~"], ref_counts["-"])
    line = (f"fidmora-cli delta: {len(reference.rows)} rows: {got[0]} added, {got[1]} changed, {got[2]} deleted; "
            f"the generator made {want[0]} dropped, {want[1]} repriced, {want[2]} new")
    if None not in want and got != want:
        print("DISAGREE " + line)
        disagreements += 1
    else:
        print("AGREE    " + line)
    ref_keys = {(u, s) for u, s, _ in reference.rows}
    ref_rows = {(u, s, d) for u, s, d in reference.rows}
    for name, path in others:
        table = Table(path, columns)
        keys = {(u, s) for u, s, _ in table.rows}
        rows = {(u, s, d) for u, s, d in table.rows}
        c = counts(table)
        only_ref = ref_keys - keys
        only_tool = keys - ref_keys
        other_cells = {(u, s) for u, s, _ in (ref_rows ^ rows)} - only_ref - only_tool
        same_keys_other_cells = len(other_cells)
        line_breaks_only = sum(1 for k in other_cells if reference.lf.get(k) == table.lf.get(k))
        # Miller writes a cell's CR LF as LF: such rows agree but for that.
        differing = same_keys_other_cells - (line_breaks_only if name in LF_TOOLS else 0)
        ok = not only_ref and not only_tool and differing == 0 and len(rows) == len(table.rows) \
            and not table.missing and not table.bad
        text = (f"{name} delta: {len(table.rows)} rows: {c['+']} added, {c['~']} changed, {c['-']} deleted; "
                f"url and status: {len(only_ref)} only in fidmora-cli's, {len(only_tool)} only in {name}'s; "
                f"rows with the same url and status and other cells: {same_keys_other_cells}")
        print(("AGREE    " if ok else "DISAGREE ") + text)
        if line_breaks_only:
            print(f"           {line_breaks_only} of these {same_keys_other_cells} rows differ only in line breaks inside "
                  f"cells: {name} turned the feed's CR LF inside quoted cells into LF"
                  + ("; counted as agreeing" if name in LF_TOOLS else ""))
        for u, s in sorted(only_ref)[:3]:
            print(f"           only fidmora-cli: {s} {u}")
        for u, s in sorted(only_tool)[:3]:
            print(f"           only {name}: {s} {u}")
        note = describe_columns(name, table)
        if note:
            print("        " + note)
        disagreements += 0 if ok else 1
    sys.exit(1 if disagreements else 0)


def tree_walk_survivors(feed):
    """Reads the feed with duplicates; returns its columns, the digest of the
    first row of each url in the file, and the digest of the row that a walk
    of the category tree meets first: categories are created in the order
    their paths first appear, each node's own goods (in file order) come
    before its subcategories, and subcategories keep their order."""
    header, rows = read_rows(feed)
    index = {name: i for i, name in enumerate(header)}
    url_at = index["url"]
    cat_at = index.get("categoryId", index.get("categories"))
    root = {}
    first_in_file = {}
    first_lf = {}  # url -> digest_lf of its first row
    walk_pick = {}  # url -> (node, row number, digest)
    node_of_path = {}
    nodes = []  # node -> its children dict, in creation order
    for number, row in enumerate(rows):
        if len(row) != len(header):
            continue
        d = digest(row)
        u = row[url_at]
        if u not in first_in_file:
            first_in_file[u] = d
            first_lf[u] = digest_lf(row)
        path = row[cat_at] if cat_at is not None else ""
        node = node_of_path.get(path)
        if node is None:
            children = root
            for part in [p for p in path.split("/") if p] or ["No name"]:
                child = children.get(part)
                if child is None:
                    child = (len(nodes), {})
                    nodes.append(child)
                    children[part] = child
                children = child[1]
            node = child[0]
            node_of_path[path] = node
        walk_pick.setdefault(u, []).append((node, number, d))
    # Pre-order numbers of the nodes.
    order = [0] * len(nodes)
    counter = 0
    stack = list(reversed(list(root.values())))
    while stack:
        node_id, children = stack.pop()
        order[node_id] = counter
        counter += 1
        stack.extend(reversed(list(children.values())))
    first_in_walk = {u: min(picks, key=lambda p: (order[p[0]], p[1]))[2] for u, picks in walk_pick.items()}
    return header, first_in_file, first_in_walk, first_lf


def agree_dedup(args):
    feed, fidmora_path = args[0], args[1]
    others = [a.split("=", 1) for a in args[2:]]
    columns, first_in_file, first_in_walk, first_lf = tree_walk_survivors(feed)
    moved = {u for u in first_in_file if first_in_file[u] != first_in_walk[u]}
    disagreements = 0

    def survivors(name, path):
        table = Table(path, columns)
        by_url = {}
        repeated = 0
        for u, _, d in table.rows:
            if u in by_url:
                repeated += 1
            by_url[u] = d
        note = describe_columns(name, table)
        if note:
            print("        " + note)
        return table, by_url, repeated

    print(f"feed: {len(first_in_file)} distinct urls; for {len(moved)} of them the first row in a walk of the "
          f"category tree is not the first in the file")
    ref_table, ref, ref_repeated = survivors("fidmora-cli", fidmora_path)
    walk_misses = sum(1 for u, d in ref.items() if first_in_walk.get(u) != d)
    ok = ref_repeated == 0 and set(ref) == set(first_in_file) and walk_misses == 0 and not ref_table.missing
    print(("AGREE    " if ok else "DISAGREE ") +
          f"fidmora-cli kept {len(ref)} rows ({ref_repeated} urls twice); rows other than the first in a walk of "
          f"the category tree: {walk_misses}; urls of the feed missing: {len(set(first_in_file) - set(ref))}")
    disagreements += 0 if ok else 1
    for name, path in others:
        table, rows, repeated = survivors(name, path)
        lenient = name in LF_TOOLS
        line_breaks_only = sum(1 for u, d in rows.items()
                               if first_in_file.get(u) != d and table.lf.get((u, "")) == first_lf.get(u))
        # A row of a tool that writes a cell's CR LF as LF is the same row
        # when it differs from the other only in that.
        file_misses = sum(1 for u, d in rows.items() if first_in_file.get(u) != d
                          and not (lenient and table.lf.get((u, "")) == first_lf.get(u)))
        other_row = {u for u, d in rows.items() if u in ref and ref[u] != d
                     and not (lenient and table.lf.get((u, "")) == ref_table.lf.get((u, "")))}
        explained = other_row == moved
        same_urls = set(rows) == set(ref)
        ok = repeated == 0 and same_urls and file_misses == 0 and explained and not table.missing and not table.bad
        print(("AGREE    " if ok else "DISAGREE ") +
              f"{name} kept {len(rows)} rows ({repeated} urls twice), the first in the file for "
              f"{len(rows) - file_misses}; urls only in fidmora-cli's output {len(set(ref) - set(rows))}, only in "
              f"{name}'s {len(set(rows) - set(ref))}; another row than fidmora-cli's kept for {len(other_row)} urls, "
              f"{len(other_row & moved)} of them where the tree walk's first is not the file's first"
              + ("" if explained else f" (expected exactly {len(moved)})"))
        if line_breaks_only:
            misses = file_misses + (line_breaks_only if lenient else 0)
            print(f"           {line_breaks_only} of the {misses} rows other than the file's first differ from it only "
                  f"in line breaks inside cells: {name} turned the feed's CR LF inside quoted cells into LF"
                  + ("; counted as agreeing" if lenient else ""))
        disagreements += 0 if ok else 1
    if moved:
        print(f"         ({len(moved)} urls: fidmora-cli keeps the first row met in a walk of the category tree, a "
              f"category's own goods before its subcategories; the peers keep the first row of the file: expected)")
    sys.exit(1 if disagreements else 0)


# --------------------------------------------------------------------------
# report

TOOLS = ["fidmora", "duckdb", "polars", "miller", "wc"]
NAMES = {"fidmora": "fidmora-cli", "duckdb": "DuckDB", "polars": "Polars", "miller": "Miller", "wc": "wc -l",
         "duckdb-start": "(DuckDB start)", "polars-start": "(Polars start)"}
STEP_TITLES = {"load": "load: index every row", "delta": "data + base -> delta CSV",
               "dedup": "duplicate removal + save"}


def report(args):
    results, steps = args[0], args[1].split(",")
    runs = {}
    with open(results) as f:
        for line in f:
            step, tool, _, wall, user, system, maxrss, anon, file, samples = line.rstrip("\n").split("\t")
            runs.setdefault((step, tool), []).append(
                dict(wall=float(wall), cpu=float(user) + float(system), maxrss=int(maxrss), anon=int(anon),
                     file=int(file), samples=int(samples)))
    summary = {}
    for key, rs in runs.items():
        summary[key] = dict(
            n=len(rs), min=min(r["wall"] for r in rs), median=statistics.median(r["wall"] for r in rs),
            cpu=statistics.median(r["cpu"] / r["wall"] for r in rs),
            anon=statistics.median(r["anon"] for r in rs) / 1024, file=statistics.median(r["file"] for r in rs) / 1024,
            maxrss=statistics.median(r["maxrss"] for r in rs) / 1024)
    mb = "MB = 2^20 bytes"
    for step in steps:
        print(f"\n=== {STEP_TITLES.get(step, step)} ===")
        print(f"{'tool':<16} {'runs':>4} {'min s':>8} {'median s':>9} {'cpu/wall':>9} {'anon MB':>8} "
              f"{'file MB':>8} {'peak RSS':>9} {'fidmora/tool':>13}")
        fid = summary.get((step, "fidmora"))
        for tool in TOOLS + ["duckdb-start", "polars-start"]:
            s = summary.get((step, tool))
            if not s:
                continue
            ratio = f"{fid['min'] / s['min']:.2f}" if fid and tool != "fidmora" else ""
            print(f"{NAMES[tool]:<16} {s['n']:>4} {s['min']:>8.3f} {s['median']:>9.3f} {s['cpu']:>9.2f} "
                  f"{s['anon']:>8.0f} {s['file']:>8.0f} {s['maxrss']:>9.0f} {ratio:>13}")
    print(f"\n(min and median of the wall seconds over the rounds; cpu/wall: user + system seconds over wall seconds, "
          f"median; anon and file: the sampled peaks of RssAnon and RssFile, peak RSS: the exact peak of the whole "
          f"resident set, medians, {mb}; fidmora/tool: the ratio of the minima, below 1 where fidmora-cli is faster. "
          f"The start rows are node with the peer loaded and nothing done, the share of every peer run that "
          f"is not the job.)")

    print("\n=== Targets (ratios of the minima) ===")
    failures = 0

    def check(text, value, goal, relation, unit="x"):
        nonlocal failures
        if value is None:
            print(f"{text:<58} {'not measured':>14}")
            return
        ok = value >= goal if relation == ">=" else value <= goal
        failures += 0 if ok else 1
        print(f"{text:<58} {value:>9.2f}{unit:<4} {relation} {goal:<5} {'PASS' if ok else 'FAIL'}")

    def faster(step, tool):
        a, b = summary.get((step, tool)), summary.get((step, "fidmora"))
        return a["min"] / b["min"] if a and b else None

    if "load" in steps:
        check("load: times faster than DuckDB", faster("load", "duckdb"), 2, ">=")
        check("load: times faster than Polars", faster("load", "polars"), 2, ">=")
        wc = summary.get(("load", "wc"))
        fid = summary.get(("load", "fidmora"))
        check("load: times the wc -l floor", fid["min"] / wc["min"] if wc and fid else None, 2.5, "<=")
    if "delta" in steps:
        check("delta: times faster than DuckDB", faster("delta", "duckdb"), 3, ">=")
        a, b = summary.get(("delta", "fidmora")), summary.get(("delta", "duckdb"))
        check("delta: anonymous memory, share of DuckDB's", a["anon"] / b["anon"] if a and b else None, 0.2, "<=", "")
    if "dedup" in steps:
        check("duplicate removal + save: times faster than Polars", faster("dedup", "polars"), 1.3, ">=")
    print(f"{failures} target(s) missed." if failures else "All targets met.")


if __name__ == "__main__":
    commands = {"measure": measure, "agree-delta": agree_delta, "agree-dedup": agree_dedup, "report": report}
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    commands[sys.argv[1]](sys.argv[2:])
