#!/usr/bin/env bash
# cuedump over the real engine library: a 24-bit/48 kHz FLAC album with a
# non-ASCII name, cut by a sheet with a pre-gap. Usage: real_engine_test.sh
# DRIVE CUEDUMP [EMULATOR...]; DRIVE is "Z:" under Wine, else empty.
set -euo pipefail
drive=$1; shift
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
sox -n -r 48000 -c 2 -b 24 "$work/album.wav" synth 10 sine 440 2>/dev/null
flac -s -f "$work/album.wav" -o "$work/Álbum 夜.flac"
printf '\xef\xbb\xbfFILE "Álbum 夜.flac" WAVE\n  TRACK 01 AUDIO\n    TITLE "One"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE "Two"\n    INDEX 00 00:04:00\n    INDEX 01 00:05:00\n' > "$work/sheet.cue"
out=$(LC_ALL=C.UTF-8 "$@" "$drive$work/sheet.cue")
file="$drive$work/Álbum 夜.flac"
expected=$(printf '%s\t01  - One\t0\t1920000\t  0:05\t48000\n%s\t02  - Two\t1920000\t3840000\t  0:05\t48000' "$file" "$file")
if [ "$out" != "$expected" ]; then
  printf 'cuedump printed:\n%s\nexpected:\n%s\n' "$out" "$expected" >&2
  exit 1
fi
echo "cuedump over the real engine: 2 entries as expected"
