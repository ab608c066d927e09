#!/usr/bin/env bash
# Makes the engine tests' media and their reference decodes in $1.
# Every reference is raw little-endian 32-bit float at the file's own channel
# count: sox scales integer sources by a power of two (exact up to 24 bits);
# float sources are compared with their own sample data, copied out by ffmpeg.
set -euo pipefail
out=$1
# Made again whenever this script changes.
stamp=$(sha1sum "$0" | cut -c1-40)
mkdir -p "$out"
cd "$out"
# Test processes started side by side make the media once.
exec 9>.lock
flock 9
[ "$(cat .done 2>/dev/null)" = "$stamp" ] && exit 0
rm -f -- *.wav *.flac *.m4a *.aif *.aiff *.ref *.txt *.bin

q() { "$@" >/dev/null 2>&1; }
# noise(name, rate, bits, channels, seconds [, sox encoding options])
noise() {
  local name=$1 rate=$2 bits=$3 ch=$4 secs=$5; shift 5
  q sox -D -R -n -r "$rate" -b "$bits" -c "$ch" "$@" "$name" synth "$secs" whitenoise vol 0.8
}
sox_ref() { q sox -D "$1" -t raw -e floating-point -b 32 -L "$2"; }
ff_ref() { q ffmpeg -nostdin -y -i "$1" -c:a pcm_f32le -f f32le "$2"; }

# FLAC at every rate, 16 and 24 bits, and with other block sizes and no seek table.
for bits in 16 24; do
  for rate in 44100 48000 88200 96000 176400 192000; do
    noise src.wav "$rate" "$bits" 2 1.3
    q flac -s -f -o "flac${bits}_${rate}.flac" src.wav
    sox_ref "flac${bits}_${rate}.flac" "flac${bits}_${rate}.ref"
  done
done
noise src.wav 44100 16 1 1.1
q flac -s -f -o flac16_mono.flac src.wav && sox_ref flac16_mono.flac flac16_mono.ref
noise src.wav 48000 24 2 1.2
q flac -s -f -b 192 --no-seektable -o flac24_small_blocks.flac src.wav
sox_ref flac24_small_blocks.flac flac24_small_blocks.ref
q flac -s -f --lax -b 16384 -o flac24_large_blocks.flac src.wav
sox_ref flac24_large_blocks.flac flac24_large_blocks.ref
noise src.wav 44100 8 2 0.7
q flac -s -f -o flac8.flac src.wav && sox_ref flac8.flac flac8.ref
# 32 bits: flac's own decode, rounded to float by ffmpeg (sox does not round
# 32-bit samples to the nearest float).
noise src.wav 48000 32 2 0.5
q flac -s -f -o flac32.flac src.wav && q flac -s -f -d -o back.wav flac32.flac && ff_ref back.wav flac32.ref

# WAV and AIFF in every sample format.
noise wav_u8.wav 44100 8 2 0.9 -e unsigned-integer && sox_ref wav_u8.wav wav_u8.ref
noise wav16.wav 44100 16 2 0.9 && sox_ref wav16.wav wav16.ref
noise wav16_mono.wav 48000 16 1 0.9 && sox_ref wav16_mono.wav wav16_mono.ref
# sox writes WAVE_FORMAT_EXTENSIBLE above 16 bits; wavpcm is the plain header.
noise wav24.wav 96000 24 2 0.9 && sox_ref wav24.wav wav24.ref
noise wav24_mono.wav 44100 24 1 0.7 && sox_ref wav24_mono.wav wav24_mono.ref
# sox rounds 32-bit integers to float inexactly; ffmpeg rounds to nearest.
noise wav32.wav 44100 32 2 0.9 && ff_ref wav32.wav wav32.ref
q sox wav24.wav -t wavpcm wav24_plain.wav && sox_ref wav24_plain.wav wav24_plain.ref
# Float data beyond +-1 and tiny values: passed through bit for bit.
q ffmpeg -nostdin -y -f lavfi -i "sine=frequency=997:sample_rate=44100:duration=0.8" \
  -af "volume=3.5,pan=stereo|c0=c0|c1=-0.0001*c0" -c:a pcm_f32le wav_f32.wav
ff_ref wav_f32.wav wav_f32.ref
q ffmpeg -nostdin -y -f lavfi -i "sine=frequency=331:sample_rate=48000:duration=0.8" \
  -af "volume=1.7,pan=stereo|c0=c0|c1=0.3*c0" -c:a pcm_f64le wav_f64.wav
ff_ref wav_f64.wav wav_f64.ref
noise aiff16.aiff 44100 16 2 0.9 && sox_ref aiff16.aiff aiff16.ref
noise aiff24.aif 88200 24 2 0.9 && sox_ref aiff24.aif aiff24.ref
noise aiff8.aiff 44100 8 1 0.9 && sox_ref aiff8.aiff aiff8.ref
q ffmpeg -nostdin -y -i aiff16.aiff -c:a pcm_s16le -f aiff aifc_sowt.aif && sox_ref aifc_sowt.aif aifc_sowt.ref
q ffmpeg -nostdin -y -i wav_f32.wav -c:a pcm_f32be -f aiff aifc_fl32.aif && ff_ref aifc_fl32.aif aifc_fl32.ref

# ALAC, 16 and 24 bits, stereo and mono.
noise src.wav 44100 16 2 1.4
q ffmpeg -nostdin -y -i src.wav -c:a alac alac16.m4a && ff_ref alac16.m4a alac16.ref
noise src.wav 96000 24 2 1.1
# Index in front of the audio data, so that cutting the file cuts the audio.
q ffmpeg -nostdin -y -i src.wav -c:a alac -movflags +faststart alac24.m4a && ff_ref alac24.m4a alac24.ref
noise src.wav 48000 16 1 0.9
q ffmpeg -nostdin -y -i src.wav -c:a alac alac16_mono.m4a && ff_ref alac16_mono.m4a alac16_mono.ref

# Files refused with a code.
noise multi3.wav 44100 16 3 0.2
q flac -s -f --channel-map=none -o multi3.flac multi3.wav
q ffmpeg -nostdin -y -i multi3.wav -ac 3 -c:a alac multi3.m4a
noise ulaw.wav 8000 8 1 0.2 -e u-law
q ffmpeg -nostdin -y -i wav16.wav -c:a aac aac.m4a
printf 'This is not audio, only text.\n' > text.txt
: > empty.bin

# Long enough that one read runs a while: 240 s at 44.1 kHz.
noise long.flac 44100 16 2 240

rm -f src.wav back.wav
echo "$stamp" > .done
