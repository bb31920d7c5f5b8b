#!/usr/bin/env python3
"""Writes plausible dryers in the robust benchmark's dryer format (a label
SEED-INDEX, then NAME=TEXT settings, tab-separated), for
KELVANE_ROBUST_DRYERS=FILE build/bench/kelvane-bench-robust.

  bench/plausible_dryers.py GENERATOR SEED [SEED ...] --count N [--first I] > FILE
"""
import argparse, json, subprocess, sys

ap = argparse.ArgumentParser()
ap.add_argument("generator")
ap.add_argument("seeds", type=int, nargs="+")
ap.add_argument("--count", type=int, default=25)
ap.add_argument("--first", type=int, default=0)
a = ap.parse_args()
for seed in a.seeds:
    out = subprocess.run([sys.executable, a.generator, "list", "--seed", str(seed), "--count", str(a.first + a.count)],
                         check=True, capture_output=True, text=True).stdout.splitlines()
    for i, line in enumerate(out):
        if i < a.first:
            continue
        fields = json.loads(line)
        print("\t".join([f"s{seed}-{i}"] + [f"{k}={v}" for k, v in fields.items()]))
