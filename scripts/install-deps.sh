#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
if ! dpkg --print-foreign-architectures | grep -q i386; then
  # wine64 alone runs the x86_64 programs; i386 is not needed.
  :
fi
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
  cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
  firebird-dev libfbclient2 firebird3.0-server firebird3.0-utils \
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
  wine64 xvfb x11-utils xdotool hyperfine
