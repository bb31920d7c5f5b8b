#!/usr/bin/env python3
"""The dryer's air over plausible dryers at a web width: each zone's needed
exhaust (median and largest over the zones of every dryer that finishes),
and how many designs move when each zone's exhaust is held to the flow its
dryer needs today at the allowed share of the LFL.

  bench/air_plausible.py GENERATOR [--seed 1] [--count 100] [--designs 12] [--width 1.5]

The runner is build/cli/kelvane-run (or --runner).  A design is made twice
for each of the first --designs dryers of two to five zones that finish and
have a design that meets the targets: free, and with --max-lfl-share 25 at
each zone's present needed flow (zones that give off nothing get none); it
"moves" when the speeds differ by more than 0.5 % or the held design finds
none.
"""
import argparse, json, os, statistics, subprocess, sys, tempfile

ap = argparse.ArgumentParser()
ap.add_argument("generator")
ap.add_argument("--runner", default=os.path.join(os.path.dirname(__file__), "..", "build", "cli", "kelvane-run"))
ap.add_argument("--seed", type=int, default=1)
ap.add_argument("--count", type=int, default=100)
ap.add_argument("--designs", type=int, default=12)
ap.add_argument("--width", type=float, default=1.5)
a = ap.parse_args()

dryers = [json.loads(line) for line in subprocess.run(
    [sys.executable, a.generator, "list", "--seed", str(a.seed), "--count", str(a.count)],
    check=True, capture_output=True, text=True).stdout.splitlines()]
sets = lambda d: [x for k, v in d.items() for x in ("--set", f"{k}={v}")]  # noqa: E731
# Targets of a line to run: at most 5 % of the solvent left, no boiling, the
# film at or below 110 degC; the gas within 60 K of today's and 20-180 degC.
TARGETS = ["--max-residual", "5", "--no-boiling", "--max-film-temperature", "110",
           "--span", "60", "--lowest", "20", "--highest", "180", "--speed", "0.05:5", "--quiet"]


def speed(out):
    for line in out.splitlines():
        if line.startswith("Design: WebSpeed="):
            return float(line.split("=")[1].split()[0])
    return None


needed, finished, moved, designed = [], 0, 0, 0
with tempfile.TemporaryDirectory() as scratch:
    for i, d in enumerate(dryers):
        js = os.path.join(scratch, "s.json")
        r = subprocess.run([a.runner, "--quiet", "--web-width", str(a.width), "--summary-json", js, "-o",
                            os.path.join(scratch, "r.txt")] + sets(d), capture_output=True, text=True)
        if r.returncode != 0:
            continue
        finished += 1
        zones = json.load(open(js))["zones"]
        flows = {z["zone"]: z["exhaust_needed_m3_per_h"] for z in zones if z["exhaust_needed_m3_per_h"]}
        needed += flows.values()
        if designed >= a.designs or not 2 <= len(zones) <= 5 or not flows:
            continue
        free = subprocess.run([a.runner, "design"] + TARGETS + sets(d), capture_output=True, text=True, cwd=scratch)
        held = subprocess.run([a.runner, "design"] + TARGETS + sets(d) + ["--web-width", str(a.width),
                              "--max-lfl-share", "25"] + [x for k, f in flows.items()
                                                         for x in ("--exhaust", f"{k}={f:.0f}")],
                              capture_output=True, text=True, cwd=scratch)
        v0, v1 = speed(free.stdout), speed(held.stdout)
        if v0 is None:  # no schedule meets the targets even free: nothing to move
            print(f"{a.seed}:{i} {len(zones)} zones: no design meets the targets", flush=True)
            continue
        designed += 1
        move = v1 is None or abs(v1 - v0) > 0.005 * v0
        moved += move
        print(f"{a.seed}:{i} {len(zones)} zones: free {v0} m/s, held to today's flows {v1} m/s"
              f"{' (moves)' if move else ''}", flush=True)

print(f"seed {a.seed}: {finished} of {len(dryers)} dryers finish; needed exhaust per zone at {a.width} m: "
      f"median {statistics.median(needed):.0f} m3/h, largest {max(needed):.0f} m3/h over {len(needed)} zones")
print(f"designs that move under --max-lfl-share 25 at today's needed flows: {moved} of {designed}")
