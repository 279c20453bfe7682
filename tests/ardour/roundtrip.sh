#!/usr/bin/env bash
# Runs the plug-in in Ardour, headless (its Lua session tool and its export tool, on Ardour's dummy audio backend):
# a session with a stereo track playing the demo sound through the plug-in, with a few parameters changed (Decay by
# automation) and another response pair selected, is exported and compared with vellumar-render on the same input
# and settings; the reopened session must hold the values and the pair it was saved with, and export the same again.
#
#   roundtrip.sh VST3|LV2 BUNDLE VELLUMAR_RENDER VELLUMAR_DEMO_SOUND VELLUMAR_EXPORT_CHECK
#
# Exits with 77 (ctest's "skipped") where Ardour is not installed.
set -euo pipefail
format="$1" bundle="$(cd "$2" && pwd)" render="$3" demo_sound="$4" export_check="$5"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

if ! command -v ardour7-lua >/dev/null || ! command -v ardour7-export >/dev/null; then
    echo "SKIPPED: Ardour 7 (Debian's ardour package, which scripts/setup.sh --tests installs) is not installed"
    exit 77
fi

# Ardour writes its configuration, plug-in cache and session files here, never into the user's home.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$XDG_CONFIG_HOME/ardour7"
# Headless: with no DISPLAY, JUCE inside the plug-in falls back to :0.0 and would use (and die with) any X server
# there, such as the one another test starts. A display that is never served keeps it without one.
export DISPLAY=:65533

# Only this build's bundle is found: an LV2 through LV2_PATH, a VST3 through Ardour's search path and its scanner,
# which writes the plug-in cache that Ardour's tools read (they do not scan by themselves).
if [ "$format" = LV2 ]; then
    export LV2_PATH="$(dirname "$bundle")"
else
    cat > "$XDG_CONFIG_HOME/ardour7/config" <<CONFIG
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="plugin-path-vst3" value="$(dirname "$bundle")"/>
  </Config>
</Ardour>
CONFIG
    LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner --quiet "$bundle"
fi

# The same values as session.lua sets; a tail long enough for Decay 1 s. The plug-in reads the response switches at
# its first preparation only, before a host can set them, and keeps the pair it plays in its state block; so the
# saved session's state is rewritten to select Space 3 (type 4, number 3), which vellumar-render gets by switches.
tail_seconds=2
settings=(--set Decay=1 --set Mix=60 --set Character=40)
pair=(--set PlateButton=Off --set SpaceButton=On --set OneButton=Off --set ThreeButton=On)

session="$work/session"
"$demo_sound" "$work/input.wav" 44100 >/dev/null
"$render" --quiet --tail "$tail_seconds" "${settings[@]}" "${pair[@]}" "$work/input.wav" "$work/reference.wav"

# Each step is a run of its own; Ardour's chatter goes to a log that is shown only when a step fails. Ardour 7.3's
# export now and then corrupts its heap and aborts (about one run in six here, just as often with no plug-in in the
# session), or hangs at its end, so a step that dies from a signal or outlives its time (a few seconds are usual) is
# tried up to five times: a plug-in that crashes or hangs Ardour every time still fails.
step() {
    local attempt status
    for attempt in 1 2 3 4 5; do
        status=0
        timeout -k 5 25 "$@" >"$work/log" 2>&1 || status=$?
        if [ "$status" -eq 0 ]; then
            grep -E "^(created|inserted|the plug-in)" "$work/log" || true
            return
        fi
        if { [ "$status" -le 128 ] && [ "$status" -ne 124 ]; } || [ "$attempt" -eq 5 ]; then
            break
        fi
        echo "$1 ended with status $status; trying again"
    done
    cat "$work/log"
    echo "FAILED (exit status $status): $*"
    exit 1
}

# Where the saved session keeps the plug-in's state: a VST3's in the session file, an LV2's in the state folder
# that the session file names (a new one each time the state changes).
saved_state() {
    if [ "$format" = VST3 ]; then
        echo "$session/session.ardour"
    else
        local folder
        folder="$(sed -n 's/.*<lv2 [^>]*state-dir="\([^"]*\)".*/\1/p' "$session/session.ardour")"
        echo "$session"/plugins/*/"$folder"/state.ttl
    fi
}

# A try that died may have left the session half made, which the next one would refuse to create again.
step bash -c 'rm -rf "$1" && exec ardour7-lua "${@:2}"' create "$session" "$here/session.lua" create "$session" "$format" \
    "$work/input.wav" "$tail_seconds"
step ardour7-lua "$here/session.lua" insert "$session" "$format"
# Decay is automated, a flat line at 1 s, which Ardour has already played into the plug-in; the saved state is put
# back to the default 3 s, so that the exporting Ardour prepares the plug-in at 3 s and then sets 1 s, as after a
# change from a host's control or automation in a running session.
"$export_check" select "$(saved_state)" 4 3 Decay=3
step ardour7-export -b float -o "$work/export.wav" "$session" session
step ardour7-lua "$here/session.lua" check "$session" "$format"
"$export_check" expect "$(saved_state)" irType=4 irNumber=3 Decay=1 Mix=60 Character=40
step ardour7-export -b float -o "$work/again.wav" "$session" session

# Ardour compensates the plug-in's latency, so the export must match the reference up to float rounding. Ardour
# 7.3 now and then starts the export a few samples into the session, dry signal included (16 samples, about one run
# in thirty here), which no plug-in can cause; so the whole export may lag by up to 32 samples.
"$export_check" "$work/export.wav" "$work/reference.wav" 32 -110
# The session saved again after reopening exports the same (to float rounding, should Ardour start one of the two
# exports a few samples late).
"$export_check" "$work/again.wav" "$work/export.wav" 32 -110
