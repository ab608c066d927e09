#!/usr/bin/env bash
# Builds the fuzz targets with clang under ASan+UBSan, seeds each with a few
# small files made by sox/flac/ffmpeg, and runs each for $1 seconds (default 60).
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DVELORAN_FUZZ=ON -DVELORAN_SANITIZER=address >/dev/null
nice -n 10 cmake --build "$build" -j2 --target engine_fuzz_wav engine_fuzz_flac engine_fuzz_alac

corpus=$build/fuzz-corpus
"$root/support/engine-fuzz/make_seeds.sh" "$corpus"
export ASAN_OPTIONS=detect_leaks=1
for f in wav flac alac; do
  echo "== $f: ${seconds}s"
  (cd "$build" && nice -n 10 "$build/support/engine-fuzz/engine_fuzz_$f" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$corpus/$f" 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" || true)
done
