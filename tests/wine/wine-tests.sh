#!/usr/bin/env bash
# The x86_64 Windows programs under Wine, with a virtual display: command
# line, configuration failure box, missing client library, the hand-off
# against the Windows perimetry stand-in and, given the test-only client
# library bridge and a private Firebird server (FIREBIRD), whole runs
# against the real database.
#
#   wine-tests.sh WINDOWS_BUILD_DIR WORK_DIR [BRIDGE_UNIX_SO]
set -uo pipefail

win=$(realpath "$1")
work=$2
bridge_so=${3:-}
mkdir -p "$work"
work=$(realpath "$work")

export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
drive_c=$WINEPREFIX/drive_c
perimeter=$drive_c/AUTOMATED_PERIMETER
config=$drive_c/V_ZADEVAVAD

passed=0
failed=0
xvfb_pid=

cleanup() {
  "$wineserver" -k 2>/dev/null
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap cleanup EXIT

pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; shift; for line in "$@"; do echo "    $line"; done; }
expect_eq() {  # what expected actual
  if [ "$2" == "$3" ]; then pass "$1"; else fail "$1" "expected: $2" "actual:   $3"; fi
}
expect_contains() {  # what needle haystack
  if [[ "$3" == *"$2"* ]]; then pass "$1"; else fail "$1" "expected to contain: $2" "actual: $3"; fi
}

# A virtual display of our own, stopped by its process id.
display_file=$work/display
Xvfb -displayfd 6 -nolisten tcp -screen 0 1024x768x24 6>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$display_file")

if [ ! -d "$drive_c/windows" ]; then "$wine" wineboot --init >/dev/null 2>&1; fi
"$wineserver" -p  # one server for all the runs below
"$wine" cmd /c exit >/dev/null 2>&1

# What the program wrote with OutputDebugStringA during one run.
traced() { grep -a "OutputDebugStringA" | sed 's/.*OutputDebugStringA "\(.*\)\\n"$/\1/'; }
run_traced() {  # runs a command line; sets $trace and $rc
  local out
  out=$(WINEDEBUG=warn+debugstr "$wine" "$win/probe.exe" run "$1" 2>&1)
  rc=$?
  trace=$(printf '%s\n' "$out" | traced)
}

stop_standins() {  # by the process ids they logged
  local pid
  for pid in $(sed -n 's/^start pid=\([0-9]*\) .*/\1/p' "$perimeter/perimeter-standin.log" 2>/dev/null); do
    "$wine" "$win/probe.exe" kill "$pid" >/dev/null 2>&1
  done
}
reset_perimeter() {
  stop_standins
  rm -rf "$perimeter"; mkdir -p "$perimeter"
}
orders() { printf '%s\n' "$@" lifetime_s=30 > "$perimeter/perimeter-standin.cfg"; }
install_standin() { cp "$win/perimeter-standin.exe" "$perimeter/perimeter.exe"; }
start_standin() {  # as an application already running
  (cd "$perimeter" && "$wine" "$win/perimeter-standin.exe" >/dev/null 2>&1 &)
  for _ in $(seq 100); do { tr -d '\r' < "$perimeter/perimeter-standin.log"; } 2>/dev/null | grep -qx window && return; sleep 0.1; done
  echo "the stand-in made no window"
}
messages() { grep -a '^message ' "$perimeter/perimeter-standin.log" 2>/dev/null | tr -d '\r' | sed 's/^message //'; }
handoff() { "$wine" "$win/probe.exe" handoff "$@" 2>/dev/null | tr -d '\r'; }

rm -rf "$config"

# --- command line and the run without a client library ---------------------
run_traced 'patlink.exe Novak Jan 05031950 X1'
expect_eq "patlink ends with 0 without gds32.dll" 0 "$rc"
expect_contains "the missing library is traced" \
  "InterBase library gds32.dll not found in the path. Please install InterBase to use this functionality" "$trace"
run_traced 'patlink-local.exe Novak Jan 05031950 X1'
expect_eq "patlink-local ends with 0 without gds32.dll" 0 "$rc"

run_traced 'patlink.exe "Van Dyke" "" 05031950 X1 ignored'
expect_contains "quotes keep blanks; an empty quoted parameter keeps its place" \
  "parameters: 5 (lengths 8, 0, 8, 2, 7)" "$trace"
run_traced "$(printf 'patlink.exe\ta\x01b   "c d"e "f')"
expect_contains "control characters separate; an open quote runs to the end" \
  "parameters: 4 (lengths 1, 1, 4, 1)" "$trace"
run_traced "\"Z:${win//\//\\}\\patlink.exe\" Dvořák Jiří"
expect_contains "a quoted program path is skipped; letters arrive whole from UTF-16" \
  "parameters: 2 (lengths 8, 6)" "$trace"
run_traced 'patlink.exe Muñoz Jan 05031950 X1'
expect_contains "a letter outside code page 1250 fails the run quietly" \
  "failure, no hand-off: parameter holds a character outside code page 1250" "$trace"
expect_eq "... with exit code 0" 0 "$rc"

# --- the configuration file ----------------------------------------------------
mkdir -p "$config"
printf 'localhost\r\n' > "$config/Server.cfg"
"$wine" "$win/probe.exe" hold 'C:\V_ZADEVAVAD\Server.cfg' 60000 > "$work/hold.out" 2>/dev/null &
holder_pid=$!
for _ in $(seq 100); do grep -q held "$work/hold.out" 2>/dev/null && break; sleep 0.1; done
"$wine" "$win/patlink.exe" Novak Jan 05031950 X1 >/dev/null 2>&1 &
patlink_pid=$!
box=$("$wine" "$win/probe.exe" dismiss-error 15000 2>/dev/null | tr -d '\r')
wait "$patlink_pid"
rc=$?
expect_contains "a configuration file open for writing shows the failure box" "title: Application Error" "$box"
expect_contains "... naming the failure and its message" \
  'text: EFOpenError: Cannot open file "C:\V_ZADEVAVAD\Server.cfg". ' "$box"
expect_eq "... and ends with exit code 1" 1 "$rc"
kill "$holder_pid"; wait "$holder_pid"

printf '\xEF\xBB\xBF localhost:C \r\nother\r\n' > "$config/Server.cfg"
run_traced 'patlink.exe Novak Jan 05031950 X1'
expect_eq "a readable configuration ends with exit code 0" 0 "$rc"
rm -rf "$config/Server.cfg"; mkdir -p "$config/Server.cfg"
run_traced 'patlink.exe Novak Jan 05031950 X1'
expect_eq "a folder in place of the configuration file is no file" 0 "$rc"
rm -rf "$config"

# --- hand-off against the Windows stand-in ------------------------------------
reset_perimeter; orders refuse_first=5; start_standin
result=$(handoff 77)
expect_contains "running application: sent" "outcome 0 " "$result"
expect_eq "... exactly one message, reply ignored" "1025 1 77 reply 0" "$(messages)"
expect_eq "... and no start" 1 "$(grep -c '^start' "$perimeter/perimeter-standin.log")"

reset_perimeter; orders delay_ms=500; install_standin
result=$(handoff 501)
expect_contains "not running: started and accepted" "outcome 1 " "$result"
expect_contains "... started with 144 in its folder" 'args=144 cwd=C:\AUTOMATED_PERIMETER' \
  "$(head -1 "$perimeter/perimeter-standin.log")"
expect_eq "... one message" "1025 1 501 reply 1" "$(messages)"

reset_perimeter; orders refuse_first=3; install_standin
result=$(handoff -42)
expect_contains "answering 0 for a while: accepted at last" "outcome 1 " "$result"
expect_eq "... the message repeated until 1" \
  "$(printf '1025 1 -42 reply 0\n1025 1 -42 reply 0\n1025 1 -42 reply 0\n1025 1 -42 reply 1')" "$(messages)"

reset_perimeter
result=$(handoff 5)
expect_eq "program file missing: ends at once" "outcome 3 start 2 attempts 0" "$result"

reset_perimeter; orders no_window=1; install_standin
result=$(handoff 6 2)
expect_eq "window never created: the wait ends, no message" "outcome 2 start 42 attempts 0" \
  "$(sed 's/start [0-9]*/start 42/' <<< "$result")"

reset_perimeter; orders hang=1; start_standin
result=$(handoff 7 20 500)
expect_contains "hung window: the delivery is bounded" "outcome 0 " "$result"

# --- whole runs against the real database, through the bridge ----------------
if [ -n "$bridge_so" ] && [ -n "${FIREBIRD:-}" ]; then
  # The bridge where Wine looks for it: beside the programs, and as a builtin
  # DLL with its Unix half under WINEDLLPATH.
  app=$work/app
  dlls=$work/dlls
  rm -rf "$app" "$dlls"
  mkdir -p "$app" "$dlls/x86_64-windows" "$dlls/x86_64-unix"
  cp "$win/patlink.exe" "$win/patlink-local.exe" "$win/bridge/gds32.dll" "$app/"
  cp "$win/bridge/gds32.dll" "$dlls/x86_64-windows/"
  cp "$bridge_so" "$dlls/x86_64-unix/gds32.so"

  database='localhost:\V_DATABASE\VDATA.GDB'
  isql() { isql-fb -q -ch UTF8 -user SYSDBA -password pondglide "$@"; }
  fresh_database() {  # [extra statements]
    echo "DROP DATABASE;" | isql "$database" >/dev/null 2>&1
    isql >/dev/null <<SQL
SET NAMES UTF8;
CREATE DATABASE '$database' DEFAULT CHARACTER SET WIN1250;
CREATE GENERATOR MAIN_GENERATOR;
SET GENERATOR MAIN_GENERATOR TO 500;
CREATE TABLE PATIENTS (ID INTEGER NOT NULL PRIMARY KEY, LAST_NAME VARCHAR(30),
  FIRST_NAME VARCHAR(30), PATIENT_ID VARCHAR(20), DATE_OF_BIRTH TIMESTAMP, DATE_IN TIMESTAMP,
  OTHER1 VARCHAR(20), OTHER2 VARCHAR(20), OTHER3 VARCHAR(20), EYE_LEFT VARCHAR(20),
  EYE_RIGHT VARCHAR(20), DOCTOR_NAME VARCHAR(40));
COMMIT;
${1:-}
SQL
  }
  patients() {
    echo "SET HEADING OFF; SELECT ID || '|' || LAST_NAME || '|' || FIRST_NAME || '|' || PATIENT_ID
      || '|' || DATE_OF_BIRTH || '|' || IIF(COALESCE(DATE_IN, OTHER1, OTHER2, OTHER3, EYE_LEFT,
      EYE_RIGHT, DOCTOR_NAME) IS NULL, 'rest NULL', 'rest set') FROM PATIENTS ORDER BY ID;" |
      isql "$database" | sed 's/ *$//' | grep -v '^$'
  }
  run_app() {  # program parameters...; sets $rc
    WINEDLLPATH=$dlls "$wine" "$app/$1" "${@:2}" >/dev/null 2>&1
    rc=$?
  }

  for program in patlink.exe patlink-local.exe; do
    fresh_database
    reset_perimeter; orders; start_standin
    run_app "$program" "Šťastná" "Łucja Ő" 29022000 W-1
    expect_eq "$program: a new patient ends with 0" 0 "$rc"
    expect_eq "$program: ... is registered with the letters as WIN1250" \
      "501|Šťastná|Łucja Ő|W-1|2000-02-29 00:00:00.0000|rest NULL" "$(patients)"
    expect_eq "$program: ... and its number reaches the window" "1025 1 501 reply 1" "$(messages)"

    before=$(patients)
    reset_perimeter; orders; start_standin
    run_app "$program" "Other" "Names" 99999999 W-1
    expect_eq "$program: a known patient changes nothing" "$before" "$(patients)"
    expect_eq "$program: ... and is handed off" "1025 1 501 reply 1" "$(messages)"

    reset_perimeter; orders delay_ms=500 refuse_first=1; install_standin
    run_app "$program" "Nowak" "Anna" 01012001 W-2
    expect_contains "$program: the application not running is started with 144" \
      'args=144 cwd=C:\AUTOMATED_PERIMETER' "$(head -1 "$perimeter/perimeter-standin.log")"
    expect_eq "$program: ... and receives the number" \
      "$(printf '1025 1 502 reply 0\n1025 1 502 reply 1')" "$(messages)"

    before=$(patients)
    reset_perimeter; orders; start_standin
    run_app "$program" "Nowak" "Anna" 29021951 W-3
    run_app "$program" "Nowak" "Anna" 01012001 ""
    expect_eq "$program: an invalid date and an empty identifier store nothing" "$before" "$(patients)"
    expect_eq "$program: ... and send nothing" "" "$(messages)"

    fresh_database "CREATE EXCEPTION NO_NEW 'no new patients';
SET TERM ^;
CREATE TRIGGER REFUSE FOR PATIENTS BEFORE INSERT AS BEGIN EXCEPTION NO_NEW; END^
SET TERM ;^
COMMIT;"
    reset_perimeter; orders; start_standin
    run_app "$program" "Nowak" "Anna" 01012001 W-4
    expect_eq "$program: an insert refused by the database ends with 0" 0 "$rc"
    expect_eq "$program: ... leaves no row" "" "$(patients)"
    expect_eq "$program: ... and sends nothing" "" "$(messages)"
  done
  echo "DROP DATABASE;" | isql "$database" >/dev/null 2>&1
fi

stop_standins
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
