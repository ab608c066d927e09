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
mkdir -p "$corpus"/{wav,flac,alac}
q() { "$@" >/dev/null 2>&1; }
if [ ! -f "$corpus/.seeded" ]; then
  tmp=$(mktemp -d)
  q sox -n -r 8000 -b 16 -c 2 "$tmp/s16.wav" synth 0.05 whitenoise
  q sox -n -r 8000 -b 24 -c 1 "$tmp/s24.wav" synth 0.05 whitenoise
  cp "$tmp/s16.wav" "$corpus/wav/"
  cp "$tmp/s24.wav" "$corpus/wav/"
  q sox -n -r 8000 -b 8 -c 2 -e unsigned-integer "$corpus/wav/u8.wav" synth 0.02 whitenoise
  q sox -n -r 8000 -b 16 -c 2 "$corpus/wav/a16.aiff" synth 0.02 whitenoise
  q ffmpeg -nostdin -y -i "$tmp/s16.wav" -c:a pcm_f32be -f aiff "$corpus/wav/fl32.aif"
  q ffmpeg -nostdin -y -i "$tmp/s16.wav" -c:a pcm_f64le "$corpus/wav/f64.wav"
  q flac -s -f -b 192 -o "$corpus/flac/s16.flac" "$tmp/s16.wav"
  q flac -s -f -o "$corpus/flac/s24.flac" "$tmp/s24.wav"
  q ffmpeg -nostdin -y -i "$tmp/s16.wav" -c:a alac -frame_size 256 "$corpus/alac/s16.m4a"
  q ffmpeg -nostdin -y -i "$tmp/s24.wav" -c:a alac -frame_size 256 "$corpus/alac/s24.m4a"
  rm -rf "$tmp"
  touch "$corpus/.seeded"
fi
export ASAN_OPTIONS=detect_leaks=1
for f in wav flac alac; do
  echo "== $f: ${seconds}s"
  (cd "$build" && nice -n 10 "$build/support/engine-fuzz/engine_fuzz_$f" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$corpus/$f" 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" || true)
done
