#!/usr/bin/env bash
# scripts/capture-device from a plain shell: add, list, play through orva,
# remove, and refuse bad input. Arguments: the checkout, the orva test program.
set -eu
root=$1
tests_exe=$2
tool="$root/scripts/capture-device"
name="Orva Script $$"
out=$(mktemp -d)
trap 'rm -rf "$out"; "$tool" remove "$name" >/dev/null 2>&1 || true' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

"$tool" add "$name" --rates 44100,96000 --type int16 --speed 0 --buffer 128 --out "$out"
"$tool" list | grep -q "^$name	{" || fail "list does not show the device"

VELORAN_SCRIPT_DEVICE="$name" "$root/scripts/wine-run" "$tests_exe" \
  --gtest_filter='*ScriptRegisteredDevicePlays' > "$out/run.log" 2>&1 || { cat "$out/run.log"; fail "playing through orva"; }
grep -q '\[  PASSED  \] 1 test' "$out/run.log" || { cat "$out/run.log"; fail "the orva test did not run"; }
[ -s "$out/pair0.raw" ] || fail "nothing recorded"
grep -q '^rate=96000' "$out/pair0.txt" || fail "rate not recorded"
grep -q '^type=int16' "$out/pair0.txt" || fail "type not recorded"
grep -q '^buffer=128' "$out/pair0.txt" || fail "buffer not recorded"

# Adding again replaces the settings under the same CLSID.
before=$("$tool" list | grep "^$name	")
"$tool" add "$name" --type float32 --out "$out"
[ "$("$tool" list | grep "^$name	")" = "$before" ] || fail "a second add changed the CLSID"

"$tool" remove "$name"
! "$tool" list | grep -q "^$name	" || fail "remove left the device"

for bad in "add" "add X --type int8" "add X --channels many" "add X --rates 44k" \
           "add X --bogus" "frobnicate" "add A\\B"; do
  if $tool $bad >/dev/null 2>&1; then fail "accepted: $bad"; fi
done
echo "capture-device: all checks passed"
