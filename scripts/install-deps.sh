#!/usr/bin/env bash
# Installs everything the build, the tests and the demonstration need on a
# fresh Debian machine.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
  cmake g++ make python3 time \
  libgtest-dev libgmock-dev libbenchmark-dev \
  firebird-dev libfbclient2 firebird3.0-server firebird3.0-utils \
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
  wine64 libwine-dev wine64-tools xvfb
