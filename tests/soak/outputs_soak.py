#!/usr/bin/env python3
"""Soak test of what kelvane-run leaves on disk when things go wrong.

Each run starts with an earlier file at every path it will write (result,
summaries, data file, study tables, a kept row file; the result path now and
then a symbolic link), then meets one hazard: none, SIGKILL, SIGTERM, SIGHUP
or SIGINT at a random moment, a file-size limit (ulimit -f), or a full disk
(a small tmpfs, when this runs as root and may mount one).  Afterwards every
output must be either its earlier file, byte for byte, or a complete file of
its kind (a result file that had no earlier one may hold what was written
before a failed write, under a status other than 0); status 0 must come with every output new and complete; no
temporary file may be left except by SIGKILL; a symbolic link stays a link.

Usage:
  tests/soak/outputs_soak.py [--runs N] [--seed S] [--runner PATH] [--no-mount]
Exit status 0 when nothing was flagged, 1 otherwise.
"""

import argparse
import collections
import json
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import soak  # noqa: E402  (the result-file checks)

DEFAULT_RUNNER = os.path.join(HERE, "..", "..", "build", "cli", "kelvane-run")
HAZARDS = ["none", "kill", "term", "hup", "int", "fsize", "full"]
SIGNALS = {"kill": signal.SIGKILL, "term": signal.SIGTERM, "hup": signal.SIGHUP, "int": signal.SIGINT}


def earlier(name):
    return ("EARLIER %s\r\n" % name).encode()


def zones(rng, long):
    """--set arguments for one or two zones, from a few steps to a few
    thousand; long ones (for a signal to meet the run under way) when asked."""
    args = []
    for k in (1, 2):
        length = rng.uniform(5, 60) if long else rng.choice([0.2, 0.4, 2.0, rng.uniform(0.2, 60)])
        args += ["--set", "ZoneLength[%d]=%.2f" % (k, length)]
    if rng.random() < 0.2:
        args += ["--set", rng.choice(["OuterTemperature[2]=200", "IncrementZ=1e6", "WebSpeed=abc"])]
    return args


def plan(rng, where, long):
    """The command and its outputs: [(kind, path)], paths under `where`."""
    p = lambda name: os.path.join(where, name)  # noqa: E731
    r = rng.random()
    if r < 0.62:
        out = [("result", p("result.txt"))]
        command = ["-o", out[0][1]]
        if rng.random() < 0.4:
            out.append(("json", p("summary.json")))
            command += ["--summary-json", out[-1][1]]
        if rng.random() < 0.4:
            out.append(("csv", p("summary.csv")))
            command += ["--summary-csv", out[-1][1]]
        return command + zones(rng, long) + (["--robust"] if rng.random() < 0.3 else []), out
    if r < 0.70:
        out = [("data", p("out.dat"))]
        return ["--write-data", out[0][1]] + zones(rng, long), out
    if r < 0.72:
        rows = rng.randint(1, 6)
        speeds = ",".join("%.2f" % (0.3 + 0.2 * i) for i in range(rows))
        out = [("table", p("table.csv"))]
        command = ["study", "--vary", "WebSpeed=" + speeds, "--csv", out[0][1], "--jobs", "1"]
        if rng.random() < 0.5:
            out.append(("jsonl", p("table.jsonl")))
            command += ["--jsonl", out[-1][1]]
        if rng.random() < 0.5:
            out.append(("rows", p("kept")))
            command += ["--keep-results", out[-1][1]]
        return command + zones(rng, long), out
    if r < 0.80:
        # A resumed study: its table is the one output, read first.
        rows = rng.randint(1, 6)
        speeds = ",".join("%.2f" % (0.3 + 0.2 * i) for i in range(rows))
        out = [("resume", p("part.csv"))]
        return ["study", "--vary", "WebSpeed=" + speeds, "--resume", out[0][1], "--jobs", "1"] + zones(rng, long), out
    if r < 0.86:
        out = [("evaluations", p("runs.csv")), ("data", p("design.dat"))]
        command = ["design", "--max-residual", "50", "--max-evaluations", "2", "--csv", out[0][1],
                   "--write-data", out[1][1]]
        if rng.random() < 0.3:
            out.append(("front", p("front.csv")))
            command += ["--front", "2", "--front-csv", out[-1][1]]
        for k in (1, 2):
            command += ["--set", "ZoneLength[%d]=%.2f" % (k, rng.uniform(0.2, 4))]
        return command, out
    out = [("evaluations", p("evaluations.csv")), ("data", p("best.dat"))]
    command = ["optimize", "--maximize", "WebSpeed", "--between", "0.1:2", "--max-residual", "95",
               "--jobs", "1", "--csv", out[0][1], "--write-data", out[1][1]]
    return command + zones(rng, long), out


def complete(kind, path, status, stderr):
    """None when the file at `path` is a whole file of its kind, else why not."""
    data = open(path, "rb").read()
    if kind == "result":
        if not (data.startswith(b"=") and b"PHISICAL PROPERTIES" in data[:200] and data.endswith(b"\r\n")):
            return "not a whole result file"
        return "; ".join(soak.check_file(path, status, stderr)) or None if status == 0 else None
    if kind == "data":
        lines = data.split(b"\r\n")
        return None if len(lines) == 142 and lines[-1] == b"" else "a data file of %d lines" % (len(lines) - 1)
    if kind == "json":
        try:
            json.loads(data)
            return None
        except ValueError:
            return "not JSON"
    if kind == "jsonl":
        try:
            for line in data.decode().splitlines():
                json.loads(line)
            return None if data.endswith(b"\n") else "a cut line"
        except ValueError:
            return "a line that is not JSON"
    # CSV: a header and whole lines.
    if not data.endswith(b"\n") or b"," not in data.split(b"\n")[0]:
        return "a cut table"
    return None


def check(outputs, status, stderr, killed, where, link):
    flags = []
    for kind, path in outputs:
        if kind == "rows":
            # A row file new to the folder may hold the part written before
            # a failed write, as a run's result file does, under a status
            # that says so; the earlier one (row 1) is kept or replaced whole.
            for name in sorted(os.listdir(path)) if os.path.isdir(path) else []:
                f = os.path.join(path, name)
                if name.startswith(".kelvane-") or (status != 0 and name != "row-0001.txt"):
                    continue
                if open(f, "rb").read() != earlier("row") and complete("result", f, None, stderr):
                    flags.append("kept row file %s torn (status %s)" % (name, status))
            continue
        name = os.path.basename(path)
        if kind == "resume":
            flags += check_resumed(path, status, killed, whole_tables.get(path))
            continue
        if not os.path.exists(path):
            flags.append("%s gone" % name)
            continue
        if open(path, "rb").read() == earlier(name):
            if status == 0:
                flags.append("status 0 with %s not written" % name)
            continue
        why = complete(kind, path, status, stderr)
        if why:
            flags.append("%s: %s (status %s)" % (name, why, status))
    if link and not os.path.islink(link):
        flags.append("the link is no longer a link")
    left = [os.path.join(d, f) for d, _, files in os.walk(where) for f in files if ".kelvane-" in f]
    if left and not killed:
        flags.append("temporary file left: " + os.path.basename(left[0]))
    return flags


# The whole table of each resumed study (by its command), made once
# without a hazard: what a resume must come to, and what a partial earlier
# table is cut from.
WHOLE = {}
whole_tables = {}


def whole_table(runner, command, where):
    key = tuple(a for a in command if not a.startswith(where))
    if key not in WHOLE:
        scratch = tempfile.mkdtemp(prefix="kelvane-outputs-soak-whole-")
        path = os.path.join(scratch, "whole.csv")
        args = [path if a.startswith(where) else "--csv" if a == "--resume" else a for a in command]
        subprocess.run([runner, "study", "--quiet"] + args[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        WHOLE[key] = open(path, "rb").read() if os.path.exists(path) else None
        shutil.rmtree(scratch, ignore_errors=True)
    return WHOLE[key]


def check_resumed(path, status, killed, tables):
    """A resumed table: the earlier one as it was, the whole table, a table
    with every row and some marked not run (128 + n), or, only after SIGKILL
    of a first attempt (no earlier table), the rows it finished."""
    earlier_table, whole = tables if tables else (None, None)
    if whole is None:
        return []
    if not os.path.exists(path):
        return [] if earlier_table is None else ["the resumed table is gone"]
    data = open(path, "rb").read()
    if data == whole:
        return []
    if status == 0:
        return ["status 0 with a resumed table that is not the whole table"]
    if data == earlier_table:
        return []
    if (killed or status == 3) and earlier_table is None and whole.startswith(data[:data.rfind(b"\n") + 1]):
        return []
    if status is not None and status >= 128 and data.startswith(whole[:whole.find(b"\n") + 1]) \
            and data.count(b"\n") == whole.count(b"\n") and data.endswith(b"\n"):
        return []
    return ["the resumed table is neither the earlier one nor a whole table (status %s)" % status]


def prepare(outputs, rng, where, runner=None, command=None):
    """The earlier files; the result path now and then a link into a folder."""
    link = None
    for kind, path in outputs:
        if kind == "resume":
            # No table yet, or the whole table cut after some rows (now and
            # then within a line, as a kill leaves it).
            whole = whole_table(runner, command, where)
            earlier_table = None
            if whole is not None and rng.random() < 0.7:
                earlier_table = whole[:rng.randint(whole.find(b"\n") + 1, len(whole))]
                target = path
                if rng.random() < 0.3:
                    # Now and then a link into another folder: it must stay one.
                    os.makedirs(os.path.join(where, "target"), exist_ok=True)
                    target = os.path.join(where, "target", "part.csv")
                    os.symlink(os.path.join("target", "part.csv"), path)
                    link = path
                with open(target, "wb") as f:
                    f.write(earlier_table)
            whole_tables[path] = (earlier_table, whole)
            continue

        if kind == "rows":
            os.makedirs(path, exist_ok=True)
            with open(os.path.join(path, "row-0001.txt"), "wb") as f:
                f.write(earlier("row"))
            continue
        if kind == "result" and rng.random() < 0.2:
            os.makedirs(os.path.join(where, "target"), exist_ok=True)
            target = os.path.join(where, "target", "result.txt")
            with open(target, "wb") as f:
                f.write(earlier("result.txt"))
            os.symlink(target, path)
            link = path
            continue
        with open(path, "wb") as f:
            f.write(earlier(os.path.basename(path)))
    return link


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=22)
    parser.add_argument("--timeout", type=float, default=120.0)
    parser.add_argument("--runner", default=DEFAULT_RUNNER)
    parser.add_argument("--no-mount", action="store_true", help="no tmpfs: a full disk is a file-size limit")
    args = parser.parse_args()

    runner = os.path.abspath(args.runner)
    rng = random.Random(args.seed)
    table = collections.Counter()
    flagged = []
    finished = 0
    started = time.monotonic()
    base = tempfile.mkdtemp(prefix="kelvane-outputs-soak-")
    disk = os.path.join(base, "disk")
    os.makedirs(disk)
    mounted = False
    if not args.no_mount and os.geteuid() == 0:
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", disk],
                                 capture_output=True).returncode == 0
    try:
        for i in range(args.runs):
            hazard = rng.choice(HAZARDS)
            if hazard == "full" and not mounted:
                hazard = "fsize"
            where = disk if hazard == "full" else os.path.join(base, "run")
            for entry in os.listdir(where) if os.path.isdir(where) else []:
                e = os.path.join(where, entry)
                shutil.rmtree(e) if os.path.isdir(e) and not os.path.islink(e) else os.remove(e)
            os.makedirs(where, exist_ok=True)
            if hazard == "full":
                size = rng.choice([16, 32, 64, 128, 256, 512])
                subprocess.run(["mount", "-o", "remount,size=%dk" % size, disk], check=True)
            command, outputs = plan(rng, where, hazard in SIGNALS and rng.random() < 0.7)
            link = prepare(outputs, rng, where, runner, command)
            limit = rng.choice([1, 4, 16, 64, 256]) * 1024 if hazard == "fsize" else None

            def limits(limit=limit):
                if limit:
                    resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

            t0 = time.monotonic()
            proc = subprocess.Popen([runner, "--quiet"] + command if command[0] not in ("study", "optimize", "design")
                                    else [runner] + command[:1] + ["--quiet"] + command[1:],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, cwd=where,
                                    preexec_fn=limits)
            if hazard in SIGNALS:
                time.sleep(rng.uniform(0, 0.3))
                try:
                    proc.send_signal(SIGNALS[hazard])
                except ProcessLookupError:
                    pass
            try:
                _, err = proc.communicate(timeout=args.timeout)
                status = proc.returncode
            except subprocess.TimeoutExpired:
                proc.kill()
                _, err = proc.communicate()
                status = None
            stderr = err.decode("utf-8", errors="replace")
            if status is None:
                outcome, flags = "hang", ["hang"]
            elif status < 0:
                outcome = "signal %d" % -status
                flags = [] if hazard in SIGNALS and -status == SIGNALS[hazard] else ["died by signal %d" % -status]
            else:
                outcome, flags = str(status), []
            killed = status is not None and status < 0 and hazard == "kill"
            if status is not None:
                flags += check(outputs, status, stderr, killed, where, link)
            finished += status == 0 and not flags
            table[(hazard, outcome)] += 1
            if flags:
                flagged.append((i, hazard, flags, command))
                print("outputs soak: run %d (%s): %s" % (i, hazard, "; ".join(flags)), file=sys.stderr, flush=True)
            if (i + 1) % 100 == 0:
                print("outputs soak: %d runs, %d flagged (%.0f s)" % (i + 1, len(flagged), time.monotonic() - started),
                      file=sys.stderr, flush=True)
    finally:
        if mounted:
            subprocess.run(["umount", disk])
        shutil.rmtree(base, ignore_errors=True)

    outcomes = sorted({o for _, o in table}, key=lambda o: (not o.isdigit(), int(o) if o.isdigit() else 0, o))
    print("| hazard | " + " | ".join("status " + o if o.isdigit() else o for o in outcomes) + " | total |")
    print("|---|" + "---:|" * (len(outcomes) + 1))
    for h in HAZARDS:
        row = [table[(h, o)] for o in outcomes]
        if sum(row):
            print("| %s | %s | %d |" % (h, " | ".join(map(str, row)), sum(row)))
    print()
    print("runs: %d, seed %d, %.0f s, full disk on %s, status 0 with every output complete: %d, flagged: %d"
          % (args.runs, args.seed, time.monotonic() - started, "a tmpfs" if mounted else "a file-size limit",
             finished, len(flagged)))
    for i, hazard, flags, command in flagged[:20]:
        print("  run %d (%s): %s\n    kelvane-run %s" % (i, hazard, "; ".join(flags), " ".join(command)))
    return 1 if flagged else 0


if __name__ == "__main__":
    sys.exit(main())
