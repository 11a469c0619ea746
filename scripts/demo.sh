#!/usr/bin/env bash
# The main job end to end on this machine: installs what is needed, builds,
# starts a private Firebird server with a sample perimetry database, puts the
# perimetry stand-in where the real application would be, runs patlink with
# the particulars given (or sample ones) and shows what happened.
#
#   scripts/demo.sh [LAST_NAME FIRST_NAME DDMMYYYY PATIENT_ID]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ $# -eq 0 ]; then set -- "Dvořák" "Jiří" "05031950" "K-2024"; fi

if [ "${PATLINK_SKIP_INSTALL:-}" != 1 ]; then bash scripts/install-deps.sh; fi
build=$root/build-demo
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPATLINK_WINDOWS_BUILDS=OFF \
  -DPATLINK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

demo=$build/demo
server=$demo/firebird
drive_c=$(sed -n 's/^PATLINK_DRIVE_C:PATH=//p' "$build/CMakeCache.txt")
perimeter=$drive_c/AUTOMATED_PERIMETER
export FIREBIRD=$server

stop() {
  for pid in $(sed -n 's/^start pid=\([0-9]*\) .*/\1/p' "$perimeter/perimeter-standin.log" 2>/dev/null); do
    kill "$pid" 2>/dev/null || true
  done
  bash tests/fixtures/firebird-server.sh stop "$server"
}
trap stop EXIT

rm -rf "$demo" "$perimeter" "$drive_c/V_ZADEVAVAD"
bash tests/fixtures/firebird-server.sh start "$server"
isql-fb -q -i tools/demo/perimetry-sample.sql

# The perimetry application is not running: patlink starts it.
mkdir -p "$perimeter"
cp "$build/perimeter-standin" "$perimeter/perimeter.exe"
printf 'delay_ms=700\nlifetime_s=30\n' > "$perimeter/perimeter-standin.cfg"

show() {
  echo "SET LIST ON; SELECT ID, LAST_NAME, FIRST_NAME, PATIENT_ID, DATE_OF_BIRTH FROM PATIENTS WHERE PATIENT_ID = '$1';" |
    isql-fb -q -ch UTF8 -user SYSDBA -password pondglide 'localhost:\V_DATABASE\VDATA.GDB'
}

echo "== patlink $*"
set +e
"$build/patlink" "$@"
code=$?
set -e
echo "exit code: $code"
echo "== the patient's row"
show "$4"
echo "== what the perimetry stand-in received"
tr -d '\r' < "$perimeter/perimeter-standin.log" 2>/dev/null || echo "(nothing)"
