#!/bin/sh
# The help of kelvane-run's study, optimize and design commands as help2man sections,
# kept as printed (no filling), so the man page says what --help says.
#   man-commands.sh KELVANE_RUN OUTPUT
set -e
runner=$1 out=$2
{
  for command in study optimize design; do
    echo "[${command} command]" | tr a-z A-Z
    echo ".nf"
    "$runner" "$command" --help | sed -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
    echo ".fi"
  done
} >"$out"
