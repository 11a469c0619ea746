#!/usr/bin/env bash
# Processor time of a whole patlink run whose perimetry application starts
# but never makes its window: the run waits 21 whole seconds. A loop without
# pauses would keep one processor busy for all of them.
#   wait-cpu.sh BUILD_DIR   (FIREBIRD names a running private server)
set -euo pipefail
build=$1
drive_c=$(sed -n 's/^PATLINK_DRIVE_C:PATH=//p' "$build/CMakeCache.txt")
perimeter=$drive_c/AUTOMATED_PERIMETER
here=$(dirname "$0")

rm -rf "$perimeter" "$drive_c/V_ZADEVAVAD"
mkdir -p "$perimeter"
cp "$build/perimeter-standin" "$perimeter/perimeter.exe"
printf 'no_window=1\nlifetime_s=25\n' > "$perimeter/perimeter-standin.cfg"
isql-fb -q -i "$here/../tools/demo/perimetry-sample.sql" 2>/dev/null
trap 'echo "DROP DATABASE;" | isql-fb -q -user SYSDBA -password pondglide "localhost:\V_DATABASE\VDATA.GDB"
      for pid in $(sed -n "s/^start pid=\([0-9]*\) .*/\1/p" "$perimeter/perimeter-standin.log"); do kill "$pid" 2>/dev/null || true; done' EXIT

echo "patlink, known patient, perimetry application that never makes its window:"
/usr/bin/time -f "  %e s elapsed, %U s user CPU, %S s system CPU" \
  "$build/patlink" Kowalski Jan 30111948 K-1002
