#!/usr/bin/env bash
# headless-play under Wine into the capture driver, as a float32 device at 20x
# real time (volume at the top, gain 1.0):
# 1. a playlist mixing WAV, AIFF (in a folder whose path is longer than
#    MAX_PATH), FLAC (one track longer than a chunk, 240 s) and ALAC, and the
#    two tracks of a CUE sheet, all at 44.1 kHz: the
#    capture holds the concatenation of the reference decodes bit for bit,
#    and the tool prints one line per track;
# 2. a stop with its fade on a constant signal, with device periods much
#    shorter than the fade's steps: the capture shows the stop levels in
#    order, ending at 0.0002 of the signal, then silence.
# Usage: play_capture.sh WORK-FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
work=$1
tool="$root/dist/headless-play.exe"
device="Veloran headless-play test"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

q() { "$@" >/dev/null 2>&1; }
noise() { q sox -D -R -n -r 44100 -b 16 -c 2 "$1" synth "$2" whitenoise vol 0.5; }
sox_ref() { q sox -D "$1" -t raw -e floating-point -b 32 -L "$2"; }
ff_ref() { q ffmpeg -nostdin -y -i "$1" -c:a pcm_f32le -f f32le "$2"; }
win() { printf 'Z:%s' "$(realpath "$1" | sed 's#/#\\#g')"; }

noise one.wav 3.1 && sox_ref one.wav one.ref
deep=$(printf 'deep%.0s' {1..60})
mkdir -p "$deep"
noise "$deep/two.aiff" 1.7 && sox_ref "$deep/two.aiff" two.ref
noise src.wav 240 && q flac -s -f -o long.flac src.wav && sox_ref long.flac long.ref
noise src.wav 2.3 && q ffmpeg -nostdin -y -i src.wav -c:a alac four.m4a && ff_ref four.m4a four.ref
noise album.wav 5 && sox_ref album.wav album.ref
cat > album.cue <<'CUE'
PERFORMER "Tester"
FILE "album.wav" WAVE
  TRACK 01 AUDIO
    TITLE "First"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Second"
    INDEX 01 00:02:30
CUE
rm -f src.wav
cat one.ref two.ref long.ref four.ref album.ref > expected.ref

"$root/scripts/capture-device" add "$device" --type float32 --speed 20 --buffer 256 --out "$work/cap"
trap '"$root/scripts/capture-device" remove "$device" >/dev/null 2>&1 || true' EXIT

status=0
"$root/scripts/wine-run" "$tool" "$device" "$(win one.wav)" "$(win "$deep/two.aiff")" "$(win long.flac)" \
  "$(win four.m4a)" "$(win album.cue)" > tracks.txt 2> messages.txt || status=$?
if [ "$status" -ne 0 ]; then
  echo "headless-play ended with $status"; cat messages.txt; exit 1
fi
lines=$(wc -l < tracks.txt)
[ "$lines" -eq 6 ] || { echo "expected 6 track lines, got $lines:"; cat tracks.txt; exit 1; }
grep -q 'Second$' tracks.txt || { echo "no line for the second CUE track"; cat tracks.txt; exit 1; }

python3 - cap/pair0.raw expected.ref <<'PY'
import sys
cap = open(sys.argv[1], 'rb').read()
ref = open(sys.argv[2], 'rb').read()
zero = b'\0' * 8
start = 0
while start < len(cap) and cap[start:start + 8] == zero:
    start += 8
end = start + len(ref)
if cap[start:end] != ref:
    same = next((i for i in range(min(len(ref), len(cap) - start)) if cap[start + i] != ref[i]), None)
    sys.exit(f"capture differs from the reference decodes (from byte {same} of {len(ref)}; capture {len(cap)} bytes, data from {start})")
if cap[end:].strip(b'\0'):
    sys.exit("sound after the end of the playlist")
print(f"bit-exact: {len(ref) // 8} frames after {start // 8} silent frames")
PY

# The stop fade: a constant 0.5 (16384 in 16 bits) on both channels.
python3 - <<'PY'
import struct, wave
w = wave.open('half.wav', 'wb')
w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
w.writeframes(struct.pack('<hh', 16384, 16384) * (44100 * 60))
w.close()
PY
rm -rf cap
"$root/scripts/capture-device" add "$device" --type float32 --speed 20 --buffer 64 --out "$work/cap"
status=0
"$root/scripts/wine-run" "$tool" --stop-after 500 "$device" "$(win half.wav)" > /dev/null 2> messages.txt || status=$?
[ "$status" -eq 0 ] || { echo "headless-play --stop-after ended with $status"; cat messages.txt; exit 1; }
python3 - cap/pair0.raw <<'PY'
import struct, sys
def f32(x): return struct.unpack('<f', struct.pack('<f', x))[0]
levels = [f32(f32(n) / 20.0) for n in range(19, 1, -1)] + [f32(f32(n) / 100.0) for n in range(9, 0, -1)]
levels += [f32(0.006), f32(0.002), f32(0.0002)]
expected = [f32(0.5 * l) for l in levels]
data = open(sys.argv[1], 'rb').read()
values = struct.unpack('<%df' % (len(data) // 4), data)[0::2]
runs = []
for v in values:
    if not runs or runs[-1] != v: runs.append(v)
# Silence before the start, the signal at full level, the fade, then silence.
while runs and runs[0] == 0.0: runs.pop(0)
if not runs or runs[0] != 0.5: sys.exit(f"no full-level signal first: {runs[:3]}")
fade = runs[1:]
while fade and fade[-1] == 0.0: fade.pop()
if fade != expected:
    sys.exit(f"fade levels {fade[:40]} differ from {expected}")
print(f"stop fade: {len(expected)} levels in order, last {fade[-1]}")
PY
