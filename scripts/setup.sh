#!/usr/bin/env bash
# Sets up a fresh Debian machine for the library, builds it, and runs the main job or the tests.
#   scripts/setup.sh demo       install what is missing, build, run `corva demo`
#   scripts/setup.sh test       install what is missing, build, run every test
#   scripts/setup.sh sanitize   the same tests under address and undefined-behaviour sanitizers
# Build folders: build/ (and build-sanitize/). Set JOBS to change the parallelism (default: cores).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-demo}
jobs=${JOBS:-$(nproc)}
packages=(g++ cmake ninja-build pkg-config gettext libsqlite3-dev libgtest-dev libgmock-dev
          libbenchmark-dev libcli11-dev libreadline-dev unixodbc-dev libboost-dev
          libsqliteodbc)  # SQLite's ODBC driver: the ODBC backend's tests run through it

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build() {  # build DIR [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

case "$mode" in
  demo)
    build build -DCORVA_BUILD_TESTS=OFF -DCORVA_BUILD_BENCH=OFF
    build/tools/corva/corva demo
    ;;
  test)
    build build -DCORVA_BUILD_TESTS=ON -DCORVA_BUILD_BENCH=ON
    ctest --test-dir build --output-on-failure -j "$jobs"
    ;;
  sanitize)
    build build-sanitize -DCORVA_SANITIZE=ON -DCORVA_BUILD_BENCH=OFF
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
    ;;
  *)
    echo "usage: scripts/setup.sh demo|test|sanitize" >&2
    exit 2
    ;;
esac
