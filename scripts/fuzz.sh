#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer) into
# build-fuzz/ and runs each for FUZZ_SECONDS (default 60) from its committed corpus
# (fuzz/corpus/TARGET), with its dictionary (fuzz/TARGET.dict) when it has one. New inputs go to
# a scratch corpus, so the committed corpora stay as they are. Each input may take at most
# FUZZ_INPUT_SECONDS (default 2) and the process at most FUZZ_MEMORY_MB (default 256) of memory, in
# all and in any one allocation, so an input whose cost explodes is a finding, not a slow run.
# Fails when a target finds a crash, a leak, a timeout or an input over the memory limit.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
input_seconds=${FUZZ_INPUT_SECONDS:-2}
memory_mb=${FUZZ_MEMORY_MB:-256}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEL_FUZZ=ON >/dev/null
cmake --build "$build_dir"
# AddressSanitizer keeps freed memory in quarantine, 256 MB by default, which would count against
# the memory limit; a small quarantine still catches a use soon after a free.
export ASAN_OPTIONS="quarantine_size_mb=16${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for seeds in fuzz/corpus/*/; do
  target=$(basename "$seeds")
  binary="$build_dir/bin/fuzz_$target"
  [ -x "$binary" ] || { echo "no fuzz target for $seeds" >&2; exit 1; }
  mkdir -p "$scratch/$target"
  dictionary=()
  [ -f "fuzz/$target.dict" ] && dictionary=(-dict="$PWD/fuzz/$target.dict")
  echo "== fuzz_$target for ${seconds}s"
  (cd "$scratch" && "$OLDPWD/$binary" -max_total_time="$seconds" -timeout="$input_seconds" \
     -rss_limit_mb="$memory_mb" -malloc_limit_mb="$memory_mb" \
     -print_final_stats=1 "${dictionary[@]}" "$scratch/$target" "$OLDPWD/$seeds")
done
