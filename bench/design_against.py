#!/usr/bin/env python3
"""The dryer's design by two builds of kelvane-run, back to back on each
dryer: the speed found, the runs made and the CPU seconds of each.

  design_against.py --old OLD/kelvane-run --new NEW/kelvane-run [--dryers 2:243,2:25,...] [--out FILE.jsonl]

Each dryer is a plausible dryer (seed:index) of ../shared/dryers/plausible.py
(the generator's path is given by --plausible), designed for at most 1 %
left, no boiling, no skinning and the film at or below 110 degC, each zone's
gas within 60 K of its value and 20-180 degC, the web at 0.05-5 m/s.  The
old build runs first, then the new, so that both see the same load."""
import argparse, json, os, re, resource, subprocess, sys, time

TARGETS = ["--max-residual", "1", "--no-boiling", "--no-skinning", "--max-film-temperature", "110",
           "--span", "60", "--lowest", "20", "--highest", "180", "--speed", "0.05:5", "--quiet"]


def config(plausible, seed, index):
    out = subprocess.run([sys.executable, plausible, "list", "--seed", str(seed), "--count", str(index + 1)],
                         capture_output=True, text=True, check=True).stdout.splitlines()
    return json.loads(out[index])


def design(runner, cfg):
    args = [runner, "design"] + TARGETS
    for k, v in cfg.items():
        args += ["--set", f"{k}={v}"]
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = time.time()
    p = subprocess.run(args, capture_output=True, text=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    speed = None
    for line in p.stdout.splitlines():
        if line.startswith("WebSpeed="):
            speed = float(line.split("=", 1)[1])
    runs = re.search(r"(\d+) runs in all", p.stderr)
    return {"status": p.returncode, "speed": speed, "runs": int(runs.group(1)) if runs else None,
            "cpu_s": round(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime, 2),
            "wall_s": round(time.time() - t, 1)}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--old", required=True)
    ap.add_argument("--new", required=True)
    ap.add_argument("--plausible", default=os.path.join(os.path.dirname(__file__), "..", "..", "shared", "dryers",
                                                        "plausible.py"))
    ap.add_argument("--dryers", default="2:243,2:25,2:60,2:55,2:7,2:18,2:26")
    ap.add_argument("--out")
    a = ap.parse_args()
    rows = []
    for dryer in a.dryers.split(","):
        seed, index = (int(x) for x in dryer.split(":"))
        cfg = config(a.plausible, seed, index)
        zones = sum(1 for k, v in cfg.items() if k.startswith("OuterTemperature[") and v != "")
        old, new = design(a.old, cfg), design(a.new, cfg)
        row = {"dryer": dryer, "zones": zones, "old": old, "new": new}
        rows.append(row)
        ratio = lambda k: (new[k] / old[k]) if old[k] and new[k] else float("nan")  # noqa: E731
        print(f"{dryer} ({zones} zones): speed {old['speed']} -> {new['speed']} m/s; runs {old['runs']} -> "
              f"{new['runs']} (x{ratio('runs'):.2f}); CPU {old['cpu_s']} -> {new['cpu_s']} s (x{ratio('cpu_s'):.2f})",
              flush=True)
        if a.out:
            with open(a.out, "a") as f:
                f.write(json.dumps(row) + "\n")
    slower = [r["dryer"] for r in rows if (r["new"]["speed"] or 0) < (r["old"]["speed"] or 0) * (1 - 1e-4)]
    print("never slower" if not slower else "slower on " + ", ".join(slower))


if __name__ == "__main__":
    main()
