#!/usr/bin/env bash
# Seeds the engine's fuzzers: a few small files of each format made by
# sox/flac/ffmpeg, in DIR/wav, DIR/flac and DIR/alac. Does nothing when DIR
# is seeded already.
set -euo pipefail
corpus=$1
[ -f "$corpus/.seeded" ] && exit 0
mkdir -p "$corpus"/{wav,flac,alac}
q() { "$@" >/dev/null 2>&1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
q sox -n -r 8000 -b 16 -c 2 "$tmp/s16.wav" synth 0.05 whitenoise
q sox -n -r 8000 -b 24 -c 1 "$tmp/s24.wav" synth 0.05 whitenoise
cp "$tmp/s16.wav" "$tmp/s24.wav" "$corpus/wav/"
q sox -n -r 8000 -b 8 -c 2 -e unsigned-integer "$corpus/wav/u8.wav" synth 0.02 whitenoise
q sox -n -r 8000 -b 16 -c 2 "$corpus/wav/a16.aiff" synth 0.02 whitenoise
q ffmpeg -nostdin -y -i "$tmp/s16.wav" -c:a pcm_f32be -f aiff "$corpus/wav/fl32.aif"
q ffmpeg -nostdin -y -i "$tmp/s16.wav" -c:a pcm_f64le "$corpus/wav/f64.wav"
q flac -s -f -b 192 -o "$corpus/flac/s16.flac" "$tmp/s16.wav"
q flac -s -f -o "$corpus/flac/s24.flac" "$tmp/s24.wav"
q ffmpeg -nostdin -y -i "$tmp/s16.wav" -c:a alac -frame_size 256 "$corpus/alac/s16.m4a"
q ffmpeg -nostdin -y -i "$tmp/s24.wav" -c:a alac -frame_size 256 "$corpus/alac/s24.m4a"
touch "$corpus/.seeded"
