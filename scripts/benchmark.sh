#!/usr/bin/env bash
# Benchmarks, printed to standard output:
#   locate  locating a patient in tables of 1,000 to 1,000,000 patients
#   wait    processor time of a run that waits 21 s for a window never made
#   scripts/benchmark.sh [locate|wait]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${PATLINK_SKIP_INSTALL:-}" != 1 ]; then bash scripts/install-deps.sh; fi
build=$PWD/build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPATLINK_WINDOWS_BUILDS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target locate_benchmark patlink perimeter-standin >/dev/null

server=$build/bench-firebird
export FIREBIRD=$server
trap 'bash tests/fixtures/firebird-server.sh stop "$server"' EXIT
bash tests/fixtures/firebird-server.sh start "$server"

for what in "${@:-locate wait}"; do
  for job in $what; do
    case "$job" in
      locate)
        "$build/locate_benchmark"
        ;;
      wait)
        bash benchmarks/wait-cpu.sh "$build"
        ;;
    esac
  done
done
