#!/usr/bin/env python3
"""Runs the README, or a page of the user guide, as a user would paste it.

    readme_test.py SOURCE_DIR BUILD_DIR [--page docs/guide/PAGE.md] [--keep]

Every fenced block of the page (README.md unless --page names another) that
a user runs is run, in order, in one scratch folder laid out as a clone (the
source tree's top-level entries linked in, `build` pointing at BUILD_DIR):

- ```sh / ```bash blocks run with bash and must exit with status 0;
- ```python blocks run with python3;
- blocks whose lines start with "$ " are transcripts: each command runs and
  its standard output and error, together, must match the lines shown after
  it (exit status free: a transcript may show a refusal);
- a block after `<!-- readme-test: file NAME -->` shows the first lines of
  NAME as an earlier block wrote it, and must match;
- a block after `<!-- readme-test: setup -->` is what the README tells a user
  to do once in a clone (put the programs on the PATH); it runs before every
  later block;
- a block after `<!-- readme-test: skip (REASON) -->` is skipped with REASON.

A page of the guide is read after the first run's set-up: the set-up blocks
of docs/guide/first-run.md run before each of its blocks too.

Matching: lines are exact, except that a number shown with d decimals
matches the program's number rounded to d decimals, a line of "..." alone
stands for any lines, and a line ending in "..." for any rest of the line.
Links to files must name files of the repository; a guide page's links
must stay inside the guide (the built site holds nothing else).
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
from decimal import ROUND_HALF_EVEN, ROUND_HALF_UP, Decimal, InvalidOperation

FENCE = re.compile(r"^(\s*)```(\w*)\s*$")
DIRECTIVE = re.compile(r"^<!--\s*readme-test:\s*(\w+)\s*(.*?)\s*-->\s*$")
NUMBER = re.compile(r"[-+]?\d+(?:\.\d+)?(?:[eE][-+]?\d+)?")
ELLIPSIS = ("...", "…")
BLOCK_TIMEOUT = 600


class Block:
    def __init__(self, line, lang, text, directive, argument):
        self.line, self.lang, self.text = line, lang, text
        self.directive, self.argument = directive, argument

    def kind(self):
        if self.directive in ("skip", "setup", "file"):
            return self.directive
        if self.lang in ("sh", "bash", "shell"):
            return "shell"
        if self.lang == "python":
            return "python"
        if self.text.lstrip().startswith("$ "):
            return "transcript"
        return "text"


def blocks(readme, name="README.md"):
    """The fenced blocks, each with the directive on the line before it."""
    lines = readme.splitlines()
    found, i = [], 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        start, indent, lang = i, m.group(1), m.group(2)
        body = []
        i += 1
        while i < len(lines) and not re.match(r"^\s*```\s*$", lines[i]):
            body.append(lines[i][len(indent):] if lines[i].startswith(indent) else lines[i])
            i += 1
        if i == len(lines):
            raise SystemExit(f"{name}:{start + 1}: the block is not closed")
        before = start - 1
        while before >= 0 and not lines[before].strip():
            before -= 1
        d = DIRECTIVE.match(lines[before].strip()) if before >= 0 else None
        directive, argument = (d.group(1), d.group(2)) if d else (None, "")
        if directive not in (None, "skip", "setup", "file"):
            raise SystemExit(f"{name}:{before + 1}: unknown readme-test directive {directive!r}")
        found.append(Block(start + 1, lang, "\n".join(body) + "\n", directive, argument))
        i += 1
    return found


def numbers_match(shown, printed):
    if shown == printed:
        return True
    if "e" in shown.lower() or "e" in printed.lower():
        return False
    decimals = len(shown.split(".")[1]) if "." in shown else 0
    printed_decimals = len(printed.split(".")[1]) if "." in printed else 0
    if printed_decimals <= decimals:
        return False  # the README shows digits the program does not print
    try:
        quantum = Decimal(1).scaleb(-decimals)
        return any(str(Decimal(printed).quantize(quantum, rounding=r)) == shown
                   for r in (ROUND_HALF_UP, ROUND_HALF_EVEN))
    except InvalidOperation:
        return False


def line_matches(shown, printed):
    for e in ELLIPSIS:
        if shown.endswith(e) and shown.strip() != e:
            shown = shown[: -len(e)]
            # The rest of the line is free; the part shown must match in full.
            return any(line_matches(shown, printed[:k]) for k in range(len(printed) + 1))
    shown_parts, printed_parts = NUMBER.split(shown), NUMBER.split(printed)
    shown_numbers, printed_numbers = NUMBER.findall(shown), NUMBER.findall(printed)
    if shown_parts != printed_parts or len(shown_numbers) != len(printed_numbers):
        return False
    return all(numbers_match(s, p) for s, p in zip(shown_numbers, printed_numbers))


def lines_match(shown, printed):
    """Shown lines against printed ones; "..." alone takes any lines."""
    if not shown:
        return not printed
    if shown[0].strip() in ELLIPSIS:
        return any(lines_match(shown[1:], printed[k:]) for k in range(len(printed) + 1))
    return bool(printed) and line_matches(shown[0], printed[0]) and lines_match(shown[1:], printed[1:])


def first_difference(shown, printed):
    for k, s in enumerate(shown):
        if s.strip() in ELLIPSIS:
            return "(after an elision)"
        if k >= len(printed):
            return f"shown line {k + 1} {s!r}: the program printed no more lines"
        if not line_matches(s, printed[k]):
            return f"shown line {k + 1}:\n  shown:   {s!r}\n  program: {printed[k]!r}"
    return f"the program printed more lines than the page shows: {printed[len(shown)]!r}"


def transcript(text):
    """[(command, [shown lines])] of a block of "$ " commands and their output."""
    out, lines = [], text.splitlines()
    i = 0
    while i < len(lines):
        if not lines[i].startswith("$ "):
            raise ValueError(f"a transcript line that is neither a command nor its output: {lines[i]!r}")
        command = lines[i][2:]
        while command.endswith("\\") and i + 1 < len(lines):
            i += 1
            command += "\n" + lines[i]
        i += 1
        shown = []
        while i < len(lines) and not lines[i].startswith("$ "):
            shown.append(lines[i])
            i += 1
        out.append((command, shown))
    return out


class Runner:
    def __init__(self, source, build, scratch):
        self.source, self.build, self.scratch = source, build, scratch
        self.setup = ""
        self.env = dict(os.environ, MPLBACKEND="Agg", LC_ALL="C.UTF-8", LANG="C.UTF-8")
        # The programs come only from where the README puts them.
        self.env["PATH"] = "/usr/local/bin:/usr/bin:/bin"
        self.env.pop("PYTHONPATH", None)
        for name in os.listdir(source):
            if name not in (".git", "build") and not name.startswith("build-"):
                os.symlink(os.path.join(source, name), os.path.join(scratch, name))
        os.symlink(build, os.path.join(scratch, "build"))

    def bash(self, script):
        return subprocess.run(["bash", "-e", "-c", self.setup + script], cwd=self.scratch, env=self.env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=BLOCK_TIMEOUT, text=True, errors="replace")

    def run(self, block):
        """None when the block does what the README says, else why not."""
        kind = block.kind()
        if kind == "setup":
            r = self.bash(block.text)
            if r.returncode != 0:
                return f"the set-up exits with status {r.returncode}:\n{r.stdout}"
            self.setup += block.text + "\n"
            return None
        if kind == "shell":
            if re.search(r"\[-", block.text):
                return "an [optional] bracket in a block a user runs"
            r = self.bash(block.text)
            return None if r.returncode == 0 else f"status {r.returncode}:\n{r.stdout}"
        if kind == "python":
            path = os.path.join(self.scratch, f".readme-block-{block.line}.py")
            with open(path, "w", encoding="utf-8") as f:
                f.write(block.text)
            r = self.bash(f'python3 "{path}"\n')
            return None if r.returncode == 0 else f"status {r.returncode}:\n{r.stdout}"
        if kind == "transcript":
            for command, shown in transcript(block.text):
                r = self.bash(command + "\n")
                printed = r.stdout.splitlines()
                if not lines_match(shown, printed):
                    return (f"$ {command}\n{first_difference(shown, printed)}\n"
                            f"(status {r.returncode}; printed:)\n{r.stdout}")
            return None
        if kind == "file":
            name = block.argument.split()[0]
            try:
                with open(os.path.join(self.scratch, name), encoding="utf-8") as f:
                    printed = f.read().splitlines()
            except OSError as e:
                return f"{name}: {e.strerror} (no earlier block wrote it)"
            shown = block.text.splitlines()
            if not lines_match(shown + ["..."], printed):
                return f"{name}: {first_difference(shown, printed)}"
            return None
        return None


GUIDE = os.path.join("docs", "guide")
FIRST_RUN = os.path.join(GUIDE, "first-run.md")


def broken_links(source, readme, page="README.md"):
    """Relative links of the page that name no file of the repository (for a
    guide page: no file of the guide)."""
    bad = []
    folder = os.path.dirname(os.path.join(source, page))
    inside = os.path.join(source, GUIDE) if page.startswith(GUIDE + os.sep) else source
    for target in re.findall(r"\]\(([^)#\s]+)(?:#[^)\s]*)?\)", readme):
        if "://" in target or target.startswith("mailto:"):
            continue
        path = os.path.normpath(os.path.join(folder, target))
        if not os.path.exists(path):
            bad.append(target)
        elif os.path.relpath(path, inside).startswith(".."):
            bad.append(target + (" (outside the guide)" if inside != source else " (outside the repository)"))
    if inside == source:
        for path in re.findall(r"\.\./[\w./-]+", readme):
            bad.append(path + " (outside the repository)")
    return bad


def options(argv):
    """(source, build, page, keep) from the command line."""
    rest = [a for a in argv[1:] if a != "--keep"]
    page = "README.md"
    if "--page" in rest:
        k = rest.index("--page")
        if k + 1 >= len(rest):
            raise SystemExit(__doc__)
        page = os.path.normpath(rest[k + 1])
        del rest[k:k + 2]
    if len(rest) != 2:
        raise SystemExit(__doc__)
    return os.path.abspath(rest[0]), os.path.abspath(rest[1]), page, "--keep" in argv


def main(argv):
    source, build, page, keep = options(argv)
    with open(os.path.join(source, page), encoding="utf-8") as f:
        readme = f.read()
    failures = [f"{page}: link to a missing file: {b}" for b in broken_links(source, readme, page)]
    scratch = tempfile.mkdtemp(prefix="kelvane-readme-")
    try:
        runner = Runner(source, build, scratch)
        if page.startswith(GUIDE + os.sep) and page != FIRST_RUN:
            with open(os.path.join(source, FIRST_RUN), encoding="utf-8") as f:
                for block in blocks(f.read(), FIRST_RUN):
                    if block.kind() == "setup" and runner.run(block) is not None:
                        failures.append(f"{FIRST_RUN}:{block.line}: the set-up fails")
        for block in blocks(readme, page):
            kind = block.kind()
            if kind == "skip":
                print(f"{page}:{block.line}: skipped {block.argument}")
                continue
            if kind == "text":
                continue
            try:
                why = runner.run(block)
            except subprocess.TimeoutExpired:
                why = f"did not end within {BLOCK_TIMEOUT} s"
            except ValueError as e:
                why = str(e)
            print(f"{page}:{block.line}: {kind} {'ok' if why is None else 'FAILED'}")
            if why is not None:
                failures.append(f"{page}:{block.line} ({kind}): {why}")
    finally:
        if keep:
            print(f"scratch folder kept: {scratch}")
        else:
            shutil.rmtree(scratch, ignore_errors=True)
    for f in failures:
        print("\n" + f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
