#!/usr/bin/env python3
"""Soak test of kelvane-run: many random configurations, valid and extreme,
each run with a time limit.  Counts the outcomes and flags what must never
happen: a crash, a hang, status 0 without a complete result file, a number
printed as INF or NAN, a negative thickness.

Not part of the default test run.  Usage:
  tests/soak/soak.py [--runs N] [--seed S] [--timeout SECONDS] [--runner PATH]
Exit status 0 when nothing was flagged, 1 otherwise.
"""

import argparse
import collections
import os
import random
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_RUNNER = os.path.join(HERE, "..", "..", "build", "cli", "kelvane-run")

STATUS = {0: "finished", 1: "refused", 2: "failed", 3: "file error", 4: "warnings"}
ZONE_MEMBERS = ["OuterTemperature", "ZoneLength", "PartialPressure1", "PartialPressure2",
                "BaseHeatTransferCoeff", "CoatHeatTransferCoeff"]
# Texts far outside any dryer: zero, signs, the ends of the double range,
# subnormals, overflow on reading, words, the other decimal mark, blanks.
EXTREME_TEXTS = ["0", "-0", "-1", "1e308", "-1e308", "1.7976931348623157e308", "1e-308",
                 "4.9e-324", "1e400", "-1e400", "nan", "inf", "", " ", "abc", "1,5", " 7 ",
                 "99999999999", "0x10", "1e", "+", "2147483648", "-2147483649", "1e-30"]


def field_list(runner):
    """(name, member, default text) of every field, from --help."""
    out = subprocess.run([runner, "--help"], capture_output=True, text=True).stdout
    fields = []
    for line in out.splitlines():
        m = re.match(r"\s+(Edit\d+)\s+(\S+)\s+\S+\s+default \"([^\"]*)\"", line)
        if m:
            fields.append(m.groups())
    return fields


def valid_config(rng, fields):
    """Settings near a real dryer: the defaults scaled a little, 1 to 14 zones."""
    settings = {}
    for name, member, default in fields:
        if member.split("[")[0] in ZONE_MEMBERS or member in ("NumberOfLayers", "IncrementZ"):
            continue
        try:
            value = float(default)
        except ValueError:
            continue
        if name == "Edit250":
            continue
        # The film on entry varies widely; the material constants (fitted
        # together) only a little.
        spread = 0.25 if name in ("Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6") else 0.02
        settings[member] = "%.6g" % (value * rng.uniform(1 - spread, 1 + spread))
    zones = rng.randint(1, 14)
    increment = rng.choice([0.5, 1.0, 2.0, 2.0])
    settings["IncrementZ"] = str(increment)
    settings["NumberOfLayers"] = str(rng.choice([10, 20, 20, 30, 40]))
    for k in range(1, 15):
        if k > zones:
            if k >= 2:
                settings["OuterTemperature[%d]" % k] = ""
            continue
        # Mostly short zones (up to 60 steps); now and then a long one, up
        # to the 8000 steps a zone may have.
        r = rng.random()
        steps = rng.randint(2, 60) if r < 0.95 else rng.randint(60, 1000) if r < 0.99 else rng.randint(1000, 8000)
        settings["OuterTemperature[%d]" % k] = "%.1f" % rng.uniform(40, 95)
        settings["ZoneLength[%d]" % k] = "%.3f" % (steps * increment / 100)
        settings["PartialPressure1[%d]" % k] = "%.2f" % rng.choice([0, 0, 0, rng.uniform(0, 10)])
        settings["PartialPressure2[%d]" % k] = "%.2f" % rng.choice([0, 0, 0, rng.uniform(0, 10)])
        settings["BaseHeatTransferCoeff[%d]" % k] = "%.7f" % rng.uniform(0.0003, 0.003)
        settings["CoatHeatTransferCoeff[%d]" % k] = "%.7f" % rng.uniform(0.0003, 0.003)
    return settings


def extreme_config(rng, fields):
    """A valid configuration with one to five fields set to extreme texts."""
    settings = valid_config(rng, fields)
    for _ in range(rng.randint(1, 5)):
        name, member, default = rng.choice(fields)
        if name == "Edit250":
            continue
        if rng.random() < 0.6:
            text = rng.choice(EXTREME_TEXTS)
        else:
            text = "%.3g" % (rng.choice([-1, 1]) * 10 ** rng.uniform(-320, 308))
        settings[member] = text
    return settings


def numbers(line):
    try:
        return [float(t.replace(",", ".")) for t in line.split()]
    except ValueError:
        return None


def check_file(path, status, stderr):
    """The flags a result file earns: a list of short texts."""
    flags = []
    if not os.path.exists(path):
        if status == 0:
            flags.append("status 0 without a result file")
        return flags
    data = open(path, "rb").read().decode("cp932", errors="replace")
    lines = data.split("\r\n")
    if re.search(r"(?<![A-Za-z])-?(INF|NAN)(?![A-Za-z])", data):
        flags.append("non-finite number printed")
    zones = sum(1 for l in lines if re.fullmatch(r"  ZONE \d+", l))
    results = sum(1 for l in lines if l == "  [SIMULATION RESULTS]")
    table = None
    for line in lines:
        if line == "  [SIMULATION RESULTS]":
            table = "rows"
        elif line.startswith("Layer Thickness"):
            table = "layers"
        elif line.startswith("Solvent "):
            table = None
        v = numbers(line) if table else None
        if not v:
            continue
        if table == "rows" and len(v) == 7 and v[6] < 0:
            flags.append("negative coating thickness")
        if table == "layers" and len(v) == 12 and min(v[2:]) < 0:
            flags.append("negative layer thickness")
    if status == 0:
        complete = (zones >= 1 and results == zones and data.endswith("\r\n")
                    and "[CALCULATION CANCELLED]" not in data)
        if not complete:
            flags.append("status 0 with an incomplete result file")
        if "Calculation is successfully finished !" not in stderr:
            flags.append("status 0 without the finish message")
    return sorted(set(flags))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=12)
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("--runner", default=DEFAULT_RUNNER)
    parser.add_argument("--keep", default=None, help="folder for the inputs of flagged runs")
    args = parser.parse_args()

    runner = os.path.abspath(args.runner)
    fields = field_list(runner)
    if len(fields) != 142:
        sys.exit("soak: cannot read the field list from %s --help" % runner)
    rng = random.Random(args.seed)
    table = collections.Counter()
    flagged = []
    slowest = 0.0
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="kelvane-soak-") as work:
        result = os.path.join(work, "result.txt")
        for i in range(args.runs):
            kind = "valid" if rng.random() < 0.5 else "extreme"
            settings = valid_config(rng, fields) if kind == "valid" else extreme_config(rng, fields)
            # A quarter of the runs with the robust surface solve.
            command = [runner, "--quiet", "-o", result] + (["--robust"] if rng.random() < 0.25 else [])
            for member, text in settings.items():
                command += ["--set", "%s=%s" % (member, text)]
            if os.path.exists(result):
                os.remove(result)
            t0 = time.monotonic()
            try:
                proc = subprocess.run(command, capture_output=True, timeout=args.timeout, cwd=work)
                status, stderr = proc.returncode, proc.stderr.decode("utf-8", errors="replace")
            except subprocess.TimeoutExpired:
                status, stderr = None, ""
            slowest = max(slowest, time.monotonic() - t0)
            if status is None:
                outcome, flags = "hang", ["hang (no end within %g s)" % args.timeout]
            elif status < 0 or status not in STATUS:
                outcome, flags = "crash", ["crash (status %s)" % status]
            else:
                outcome, flags = STATUS[status], []
            if status is not None:
                flags += check_file(result, status, stderr)
            table[(kind, outcome)] += 1
            if flags:
                flagged.append((i, kind, flags, command[1:]))
                if args.keep:
                    os.makedirs(args.keep, exist_ok=True)
                    with open(os.path.join(args.keep, "run-%d.args" % i), "w") as f:
                        f.write("\n".join(command[1:]) + "\n")
            if (i + 1) % 100 == 0:
                print("soak: %d runs, %d flagged" % (i + 1, len(flagged)), file=sys.stderr, flush=True)

    outcomes = ["finished", "warnings", "refused", "failed", "file error", "crash", "hang"]
    print("| configuration | " + " | ".join(outcomes) + " | total |")
    print("|---|" + "---:|" * (len(outcomes) + 1))
    for kind in ["valid", "extreme"]:
        row = [table[(kind, o)] for o in outcomes]
        print("| %s | %s | %d |" % (kind, " | ".join(map(str, row)), sum(row)))
    total = [table[("valid", o)] + table[("extreme", o)] for o in outcomes]
    print("| all | %s | %d |" % (" | ".join(map(str, total)), sum(total)))
    print()
    print("runs: %d, seed %d, %.0f s in all, slowest run %.1f s, flagged: %d"
          % (args.runs, args.seed, time.monotonic() - started, slowest, len(flagged)))
    for i, kind, flags, command in flagged[:20]:
        print("  run %d (%s): %s" % (i, kind, "; ".join(flags)))
    return 1 if flagged else 0


if __name__ == "__main__":
    sys.exit(main())
