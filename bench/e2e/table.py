# The end-to-end benchmarks' table: each operation's times under Wine (results.tsv from
# run.sh: operation, ms, look gap) beside the native benchmark's median from the same run.
# Usage: table.py RESULTS NATIVE_DIR BLOCKS SEARCH_MIB
import json, statistics, sys
from pathlib import Path

results, native_dir, blocks = sys.argv[1], Path(sys.argv[2]), int(sys.argv[3])
search_mib = int(sys.argv[4])
runs, cpus = {}, {}  # cpus: CPU ms of kelmor, wineserver, Xvfb per run
for line in open(results):
    op, ms, gap, *cpu = line.rstrip("\n").split("\t")
    runs.setdefault(op, []).append((float(ms), float(gap)))
    if cpu and int(cpu[0]) >= 0:
        cpus.setdefault(op, []).append([int(c) for c in cpu])

scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
medians = {}  # run name -> its median entry
for f in native_dir.glob("*.json"):
    for b in json.load(open(f))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            medians[b["run_name"]] = b

def native(prefix, per=1.0, counter=None):
    for name, b in medians.items():
        if name.startswith(prefix):
            if counter == "bytes_per_second":  # the same rate over the size searched here
                return search_mib * 2**20 / b[counter] * 1000
            if counter:
                return b[counter] * blocks / 1000  # us per block -> ms for all blocks
            return b["real_time"] * scale[b["time_unit"]] / per
    return None

start = statistics.median(m for m, _ in runs["startup"]) if "startup" in runs else 0.0
rows = [  # operation, label, native ms, kind of target
    ("startup", "program start to the painted main window", None, "const"),
    ("open", "open 64 GiB sparse (Return to first page)", native("BM_OpenAndPaint/65536"), "page"),
    ("ctrl-end", "Ctrl+End, 64 GiB sparse", native("BM_CtrlEnd/0"), "page"),
    ("pgdn-1000", "1000 x PgDn, 64 GiB sparse", native("BM_PageDown10000/0", 10), "page"),
    ("save-all", f"&Alles speichern, {blocks} blocks",
     native(f"BM_SaveAll/{blocks}/2/", counter="us_per_block"), "rate"),
    ("undo-all", f"Undo &Alles, {blocks} blocks",
     native(f"BM_UndoAllAfterSaveAll/{blocks}/2/", counter="us_per_block"), "rate"),
    ("search", f"text search to a marker at {search_mib} MiB",
     native("searchStep/kind:0/journal:0/down:1/", counter="bytes_per_second"), "mibs"),
]
print()
print(f"{'operation':44} {'Wine median (min-max) ms':>26} {'gap':>5} {'native ms':>10} "
      f"{'ratio':>7}  target")
for op, label, nat, kind in rows:
    if op not in runs:
        print(f"{label:44} {'not run':>26}")
        continue
    ms = [m for m, _ in runs[op]]
    med, gap = statistics.median(ms), max(g for _, g in runs[op])
    wine = f"{med:.1f} ({min(ms):.1f}-{max(ms):.1f})"
    nats = f"{nat:.3f}" if nat is not None else "-"
    ratio = f"{med / nat:.1f}x" if nat else "-"
    target = ""
    if kind == "rate" and nat:
        target = (f"{blocks / med * 1000:.0f} vs {blocks / nat * 1000:.0f} blocks/s; "
                  f"half the native rate: {'met' if med <= 2 * nat else 'NOT met'}")
    elif kind == "mibs" and nat:
        target = f"{search_mib / med * 1000:.0f} vs {search_mib / nat * 1000:.0f} MiB/s (no target)"
    elif kind == "page" and nat is not None:
        limit = 2 * nat + start
        target = f"<= 2 x native + start-up = {limit:.1f} ms: {'met' if med <= limit else 'NOT met'}"
    elif kind == "const":
        target = "the constant start-up cost"
    print(f"{label:44} {wine:>26} {gap:5.1f} {nats:>10} {ratio:>7}  {target}")
print("\nCPU time (median ms; user and system, 10 ms steps) while each operation ran:")
for op, label, nat, kind in rows:
    if op in cpus:
        k, w, x = (statistics.median(c[i] for c in cpus[op]) for i in range(3))
        per = f"; kelmor alone {k / nat:.1f}x native" if nat else ""
        print(f"  {label:44} kelmor {k:7.0f}  wineserver {w:7.0f}  Xvfb {x:7.0f}{per}")
print("\nnative: the core on the fake platform in the same run; for the save and the undo "
      "its flushes reach the disk (KELMOR_BENCH_FSYNC=1) as the program's do.")
print("gap: the largest time between two looks at the end (the end lies within it); "
      "a trigger sent with xdotool starts up to its start-up later than timed (see above).")
