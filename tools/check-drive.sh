#!/usr/bin/env bash
# Checks a real CD drive the way the player uses it, through the cdaudio device
# (tools/mcisend), and prints a pass/fail summary. Put an audio CD in first.
#   tools/check-drive.sh [--no-eject] [DEVICE]      DEVICE defaults to /dev/sr0
# (a disc image in its place tries the script itself).
# Plays 10 seconds of the first audio track into a WAV file to listen to, and
# keeps winshim's diagnostics (WINSHIM_DEBUG=mci,cdio,audio,media) beside it:
# attach both to a report. MCISEND names the mcisend to use (default: the
# release build's).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

eject=1
if [[ ${1:-} == --no-eject ]]; then eject=0; shift; fi
device=${1:-/dev/sr0}
mcisend=${MCISEND:-build/release/tools/mcisend/mcisend}
if [[ ! -x $mcisend ]]; then
  echo "no $mcisend: build first (scripts/run.sh), or set MCISEND" >&2
  exit 2
fi
# A disc image stands in for a drive, to try the script itself.
if [[ ! -b $device && ! -f $device ]]; then
  echo "$device is neither a drive nor a disc image" >&2
  exit 2
fi
device=$(readlink -f "$device")

out=$(mktemp -d "${TMPDIR:-/tmp}/varnel-drive.XXXXXX")
# A private configuration whose drive x: is exactly this device.
mkdir -p "$out/config/varnel/drives"
echo "$device" >"$out/config/varnel/drives/x:"
wav=$out/track.wav
log=$out/winshim.log

coproc MCI {
  XDG_CONFIG_HOME=$out/config WINSHIM_AUDIO=capture:$wav WINSHIM_DEBUG=mci,cdio,audio,media \
    exec "$mcisend" 2>"$log"
}

reply=
ask() {
  printf '%s\n' "$1" >&"${MCI[1]}"
  IFS= read -r -t 60 reply <&"${MCI[0]}" || reply="(no reply)"
}

passed=0
failed=0
check() {  # NAME OK [DETAIL]
  if [[ $2 == 1 ]]; then
    passed=$((passed + 1))
    printf 'PASS  %s%s\n' "$1" "${3:+: $3}"
  else
    failed=$((failed + 1))
    printf 'FAIL  %s%s\n' "$1" "${3:+: $3}"
  fi
}
is() { [[ $1 =~ $2 ]] && echo 1 || echo 0; }

# Asks until the reply matches, for up to SECONDS: a drive takes its time to spin up.
wait_for() {  # COMMAND PATTERN SECONDS
  local end=$((SECONDS + $3))
  ask "$1"
  while ! [[ $reply =~ $2 ]] && ((SECONDS < end)); do
    sleep 0.5
    ask "$1"
  done
}

ask "open cdaudio!x: alias cd"
check "open the device" "$(is "$reply" '^[0-9]+$')" "$reply"
wait_for "status cd media present" '^true$' 30
check "a disc is present" "$(is "$reply" '^true$')" "$reply"
ask "status cd number of tracks"
tracks=$reply
check "number of tracks" "$(is "$tracks" '^[1-9][0-9]*$')" "$tracks"
ask "info cd identity"
check "identity" "$(is "$reply" '^[0-9]+$')" "$reply"
ask "status cd length"
check "disc length (msf)" "$(is "$reply" '^[0-9]{2}:[0-9]{2}:[0-9]{2}$')" "$reply"

# Tracks go by the disc's own numbers, which need not start at 1 (a disc of a
# set may number on from the one before): a device just opened stands at the
# disc's first track.
ask "status cd current track"
number=${reply//[^0-9]/}
first=0
for ((t = ${number:-1}; t < ${number:-1} + ${tracks//[^0-9]/0}; t++)); do
  ask "status cd type track $t"
  if [[ $reply == audio ]]; then first=$t; break; fi
done
check "an audio track" "$(is "$first" '^[1-9]')" "track $first"

ask "set cd time format tmsf"
ask "play cd from $first"
check "play" "$(is "$reply" '^$')" "$reply"
wait_for "status cd mode" '^playing$' 5
check "mode while playing" "$(is "$reply" '^playing$')" "$reply"
ask "status cd position"
start=$reply
sleep 10
ask "status cd position"
check "position moves" "$([[ $reply != "$start" && $reply =~ ^[0-9:]+$ ]] && echo 1 || echo 0)" "$start -> $reply"
ask "stop cd"
ask "status cd mode"
check "stop" "$(is "$reply" '^stopped$')" "$reply"

if ((eject)); then
  ask "set cd door open"
  check "eject" "$(is "$reply" '^$')" "$reply"
  wait_for "status cd mode" '^open$' 10
  check "mode with the tray open" "$(is "$reply" '^open$')" "$reply"
  # Slot-loading and laptop drives cannot pull the tray in: not a failure.
  ask "set cd door closed"
  echo "INFO  close the tray: ${reply:-done}"
fi
ask "close cd"
pid=$MCI_PID
to_mci=${MCI[1]}
exec {to_mci}>&-
wait "$pid" 2>/dev/null

# The capture holds what was played: sound, not silence (a WAV header is 44 bytes).
bytes=$(($(stat -c %s "$wav" 2>/dev/null || echo 0) - 44))
nonzero=$(tail -c +45 "$wav" 2>/dev/null | tr -d '\0' | head -c 1 | wc -c)
check "audio was read" "$([[ $bytes -gt 441000 && $nonzero == 1 ]] && echo 1 || echo 0)" "$bytes bytes"
if grep -q "read speed unchanged" "$log"; then echo "INFO  the drive kept its own read speed"; fi

echo
echo "$passed passed, $failed failed"
echo "listen:      aplay $wav"
echo "diagnostics: $log"
((failed == 0))
