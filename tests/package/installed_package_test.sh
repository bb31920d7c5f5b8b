#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack, unpacked into a
# scratch root with dpkg -x, and its kelvane-run and Python module run there
# on the defaults, byte for byte as the build's own runner.
#   installed_package_test.sh BUILD_DIR RUNNER VERSION WITH_PYTHON(ON/OFF)
set -euo pipefail
build=$1 runner=$2 version=$3 with_python=${4:-OFF}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null
deb=$(ls "$scratch"/out/kelvane_*.deb)
[ "$(basename "$deb")" = "kelvane_${version}_amd64.deb" ] || fail "package named $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version), not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6 qt6-qpa-plugins; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

# The checks whose failures are errors (not warnings) find none.
lintian --fail-on error "$deb" >"$scratch/lintian.txt" 2>&1 || { cat "$scratch/lintian.txt" >&2; fail "lintian"; }

dpkg -x "$deb" "$scratch/root"
root=$scratch/root
for f in usr/bin/kelvane usr/bin/kelvane-run usr/share/applications/kelvane.desktop \
         usr/share/icons/hicolor/scalable/apps/kelvane.svg usr/share/man/man1/kelvane.1.gz \
         usr/share/man/man1/kelvane-run.1.gz usr/share/doc/kelvane/README.md usr/share/doc/kelvane/copyright \
         usr/share/doc/kelvane/examples/default.dat usr/share/doc/kelvane/examples/fit_drying_curve.py; do
  [ -f "$root/$f" ] || fail "$f is not in the package"
done
# Every example, picture and guide page the installed README names or links
# is installed beside it.
doc=$root/usr/share/doc/kelvane
for f in $( (grep -oE '(docs|examples)/[A-Za-z0-9_./-]+\.[a-z]+' "$doc/README.md";
             grep -oE '\]\([^)#]+' "$doc/README.md" | cut -c3- | grep -v '://') | sort -u); do
  [ -f "$doc/$f" ] || fail "the installed README names $f, which the package does not ship"
done
# The guide as HTML, found by the installed programs beside them.
[ -f "$doc/guide/index.html" ] && [ -f "$doc/guide/targets.html" ] || fail "the package has no user guide"
"$root/usr/bin/kelvane-run" --help | grep -qF "User guide (HTML, a page per task): $doc/guide/index.html" ||
  fail "the installed kelvane-run --help does not name the installed guide"
zcat "$root/usr/share/man/man1/kelvane-run.1.gz" | grep -qF "/usr/share/doc/kelvane/guide/index.html" ||
  fail "kelvane-run.1 does not name the installed guide"
# The man pages are the programs' --help: an option of each is in it.
zcat "$root/usr/share/man/man1/kelvane-run.1.gz" | grep -q -- 'robust' || fail "kelvane-run.1 lacks --robust"
for text in 'STUDY COMMAND' 'OPTIMIZE COMMAND' 'Commands:' 'allowed 10, 20, 30 or 40'; do
  zcat "$root/usr/share/man/man1/kelvane-run.1.gz" | grep -q -- "$text" || fail "kelvane-run.1 lacks $text"
done
zcat "$root/usr/share/man/man1/kelvane.1.gz" | grep -q -- 'platform' || fail "kelvane.1 lacks -platform"

for program in kelvane kelvane-run; do
  [ "$("$root/usr/bin/$program" --version)" = "$program $version" ] || fail "$program --version is not $version"
done
zcat "$root/usr/share/man/man1/kelvane-run.1.gz" | grep -q "kelvane-run $version" || fail "kelvane-run.1 lacks the version"

mkdir "$scratch/run"
(cd "$scratch/run" && "$root/usr/bin/kelvane-run" --quiet -o installed.txt >/dev/null 2>&1) ||
  fail "the installed kelvane-run did not finish"
(cd "$scratch/run" && "$runner" --quiet -o built.txt >/dev/null 2>&1)
cmp "$scratch/run/built.txt" "$scratch/run/installed.txt" || fail "the installed runner's result file differs"
(cd "$scratch/run" && "$root/usr/bin/kelvane-run" --quiet --data "$root/usr/share/doc/kelvane/examples/three-zones.dat" \
   -o three.txt >/dev/null 2>&1) || fail "the example data file does not run"

# The Python module is a package of its own, python3-kelvane, pinned to the
# Python it was built for and bringing NumPy and pandas along.
pydir=$(cd "$root" && ls -d usr/lib/python3*/dist-packages/kelvane 2>/dev/null | head -n 1 || true)
[ -z "$pydir" ] || fail "the kelvane package holds the Python module $pydir"
pydeb=$(ls "$scratch"/out/python3-kelvane_*.deb 2>/dev/null || true)
if [ "$with_python" = ON ]; then
  [ "$(basename "$pydeb")" = "python3-kelvane_${version}_amd64.deb" ] || fail "no python3-kelvane package"
  pydepends=$(dpkg-deb -f "$pydeb" Depends)
  pyv=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
  pynext=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % (sys.version_info[0], sys.version_info[1] + 1))')
  for dep in "python3 (>= $pyv~)" "python3 (<< $pynext)" python3-numpy python3-pandas; do
    grep -qF "$dep" <<<"$pydepends" || fail "python3-kelvane's Depends lack $dep: $pydepends"
  done
  lintian --fail-on error "$pydeb" >"$scratch/lintian.txt" 2>&1 || { cat "$scratch/lintian.txt" >&2; fail "lintian python3-kelvane"; }
  dpkg -x "$pydeb" "$root"
  pydir=$(cd "$root" && ls -d usr/lib/python3*/dist-packages/kelvane 2>/dev/null | head -n 1 || true)
  [ -n "$pydir" ] || fail "the Python module is not in python3-kelvane"
  pydir=$(dirname "$pydir")
  PYTHONPATH="$root/$pydir" /usr/bin/python3 - "$scratch/run/python.txt" "$root" <<'PY' || fail "the installed Python module"
import sys, kelvane
assert kelvane.__file__.startswith(sys.argv[2]), kelvane.__file__
kelvane.run(result_file=sys.argv[1])
PY
  cmp "$scratch/run/built.txt" "$scratch/run/python.txt" || fail "the installed module's result file differs"
else
  [ -z "$pydeb" ] || fail "a build without Python made $pydeb"
fi
echo "package $(basename "$deb") installs and computes the same bytes"
