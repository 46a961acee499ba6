#!/usr/bin/env python3
"""Fails when a core file includes a header of a higher tier.

Tiers (a file may include its own tier or lower ones):
  0  records and source I/O      access/, app/settings, app/tables, app/messages, platform/, res/
  1  journal bytes and chains,   journal/format, journal/chain, journal/flags,
     drawing from the records    view/paint, view/scroll, view/status
  2  committing inputs           edit/commit
  3  page loaders and refresh    journal/overlay, view/refresh
  4  interactive movement, input view/navigation, view/mouse, edit/input,
     and the journal's life      journal/lifecycle, journal/pointerwin
  5  feature commands            save/, tools/, edit/clipboard, edit/fill
  6  the application             app/ (everything else)
"""
import os
import re
import sys

TIERS = [
    (0, ["access/", "app/settings.", "app/tables.", "app/messages.", "platform/", "res/"]),
    (1, ["journal/format.", "journal/chain.", "journal/flags.", "view/paint.", "view/scroll.",
         "view/status."]),
    (2, ["edit/commit."]),
    (3, ["journal/overlay.", "view/refresh."]),
    (4, ["view/navigation.", "view/mouse.", "edit/input.", "journal/lifecycle.",
         "journal/pointerwin."]),
    (5, ["save/", "tools/", "edit/clipboard.", "edit/fill."]),
    (6, ["app/"]),
]

# Upward includes that are allowed, with the reason.
ALLOWED = {
    # A commit or a save may need write access: reopenWritable asks for the source again
    # and may close and reopen the document. Callers hold no page state across the call.
    ("edit/commit.cpp", "app/document.h"),
    ("save/save.cpp", "app/document.h"),
}

CORE = ["access", "app", "view", "journal", "edit", "save", "tools"]


def tier(path):
    for t, prefixes in TIERS:
        if any(path.startswith(p) for p in prefixes):
            return t
    return None


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    bad = []
    unknown = []
    for folder in CORE:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            if os.sep + "win32" in dirpath:
                continue  # the Win32 shell sits above the core
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                rel = os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")
                own = tier(rel)
                if own is None:
                    unknown.append(rel)
                    continue
                with open(os.path.join(root, rel), encoding="utf-8") as f:
                    for num, line in enumerate(f, 1):
                        m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                        if not m:
                            continue
                        target = m.group(1)
                        other = tier(target)
                        if other is None:
                            unknown.append(f"{rel}:{num}: {target}")
                        elif other > own and (rel, target) not in ALLOWED:
                            bad.append(f"{rel}:{num}: tier {own} includes {target} (tier {other})")
    for u in unknown:
        print(f"layers: no tier for {u}")
    for b in bad:
        print(f"layers: {b}")
    if bad or unknown:
        print(f"layers: {len(bad)} upward includes, {len(unknown)} files without a tier")
        return 1
    print("layers: every include goes to the same tier or lower")
    return 0


if __name__ == "__main__":
    sys.exit(main())
