#!/usr/bin/env bash
# Sets up a fresh Debian machine for the library, builds it, and runs the main job or the tests.
#   scripts/setup.sh demo       install what is missing, build, run `corva demo`
#   scripts/setup.sh test       install what is missing, build, run every test; then, in one clang
#                               build with the address and undefined-behaviour sanitizers and
#                               libFuzzer's coverage, every test again (the bad-argument sweep
#                               among them) and each fuzz target for FUZZ_CI_SECONDS (default 20);
#                               prints how long each stage took (CI runs this)
#   scripts/setup.sh sanitize   every test under address and undefined-behaviour sanitizers (gcc)
#   scripts/setup.sh fuzz       build the fuzz targets and run each for FUZZ_SECONDS (default 300)
# Build folders: build/, build-fuzz/ (clang) and build-sanitize/. Set JOBS to change the
# parallelism (default: cores). docs/reliability.md explains the harnesses and the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-demo}
jobs=${JOBS:-$(nproc)}
packages=(g++ cmake ninja-build pkg-config gettext libsqlite3-dev libgtest-dev libgmock-dev
          libbenchmark-dev libcli11-dev libreadline-dev unixodbc-dev libboost-dev
          nlohmann-json3-dev   # the JSON output of corva verify --json
          libsqliteodbc        # SQLite's ODBC driver: the ODBC backend's tests run through it
          clang libclang-rt-dev)  # libFuzzer and the sanitizers' runtimes for clang

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

# The clang build of build-fuzz/: every layer with the sanitizers and libFuzzer's coverage, the
# fuzz targets, and the tests when TESTS is ON.
fuzz_targets=(lexer_parser batch property_string connection_string)
fuzz_build() {  # fuzz_build TESTS
  build build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCORVA_FUZZ=ON -DCORVA_BUILD_BENCH=OFF \
        -DCORVA_BUILD_TESTS="$1"
}

# Each batch of an engine case file (tests/tsql/**/*.test), the records of one file joined by
# lines "GO" as they share one database: seeds for the SQL targets.
case_file_seeds() {  # case_file_seeds DIR
  local f
  for f in tests/tsql/*/*.test; do
    awk '/^batch( |$)/ { open = 1; next }
         open && (/^----$/ || /^error / || /^====$/) { open = 0; print "GO"; next }
         open { print }' "$f" >"$1/seed_$(basename "$(dirname "$f")")_$(basename "$f" .test)"
  done
}

# Runs every fuzz target for SECONDS, up to $jobs at a time, on a working corpus in build-fuzz/
# seeded from fuzz/corpus/<target>/ (kept in the tree, read only). A crash, a leak, a time-out of
# one input or an abort of a target's own check fails the run, and the input is kept as
# build-fuzz/crash-... (add it to fuzz/corpus/<target>/ once fixed).
fuzz_run() {  # fuzz_run SECONDS
  local seconds=$1 failed=0 running=0 t
  for t in "${fuzz_targets[@]}"; do
    mkdir -p "build-fuzz/corpus/$t"
    if [[ $t == lexer_parser || $t == batch ]]; then case_file_seeds "build-fuzz/corpus/$t"; fi
    (build-fuzz/fuzz/${t}_fuzz "build-fuzz/corpus/$t" "fuzz/corpus/$t" -max_total_time="$seconds" \
         -timeout=10 -max_len=16384 -artifact_prefix=build-fuzz/ -print_final_stats=1 \
         >"build-fuzz/fuzz_$t.log" 2>&1 && echo "fuzz $t: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/fuzz_$t.log" | grep -o '[0-9]*$') inputs, no fault") &
    if ((++running >= jobs)); then
      wait -n || failed=1
      ((running--))
    fi
  done
  while ((running > 0)); do
    wait -n || failed=1
    ((running--))
  done
  if ((failed)); then
    for t in "${fuzz_targets[@]}"; do
      grep -q "ERROR: libFuzzer\|ERROR: AddressSanitizer\|runtime error\|SUMMARY" "build-fuzz/fuzz_$t.log" &&
        { echo "fuzz $t found a fault:"; tail -n 40 "build-fuzz/fuzz_$t.log"; }
    done
    return 1
  fi
}

stage() {  # stage NAME COMMAND...: runs a step of the CI run and says how long it took
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "== $name: $((SECONDS - start)) s"
}

case "$mode" in
  demo)
    build build -DCORVA_BUILD_TESTS=OFF -DCORVA_BUILD_BENCH=OFF
    build/tools/corva/corva demo
    ;;
  test)
    stage "build" build build -DCORVA_BUILD_TESTS=ON -DCORVA_BUILD_BENCH=ON
    stage "tests" ctest --test-dir build --output-on-failure -j "$jobs"
    stage "sanitizer build (clang)" fuzz_build ON
    stage "tests under the sanitizers" ctest --test-dir build-fuzz --output-on-failure -j "$jobs"
    stage "fuzzing" fuzz_run "${FUZZ_CI_SECONDS:-20}"
    ;;
  sanitize)
    build build-sanitize -DCORVA_SANITIZE=ON -DCORVA_BUILD_BENCH=OFF
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
    ;;
  fuzz)
    fuzz_build OFF
    fuzz_run "${FUZZ_SECONDS:-300}"
    ;;
  *)
    echo "usage: scripts/setup.sh demo|test|sanitize|fuzz" >&2
    exit 2
    ;;
esac
