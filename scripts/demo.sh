#!/usr/bin/env bash
# The main job on a laid-out work directory: the batch export of the demo project into a copy of
# a demo firmware image (zel -zelpack), then the report it wrote.
set -euo pipefail
work=$(cd "$1" && pwd)

# --- window demo (main window on the simulated phone) ---------------------------------------
# With a display the demo shows zel connected to the phone simulator; without one it runs the
# batch demo below.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$(dirname "$0")/demo-window.sh" "$work"
fi
echo "== No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the batch demo instead"
# --- end of the window demo ---------------------------------------------------------------
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cd "$run"
# A private runtime folder: a zel the user already runs would otherwise take this start over.
mkdir -m 700 "$run/runtime"
export XDG_RUNTIME_DIR="$run/runtime"
cp "$work/RomData/korv28v-256.rom" demo.rom
echo "== zel -zelpack demo.rom $work/Projects/demo.zel (run in $run)"
code=0
"$work/zel" -zelpack demo.rom "$work/Projects/demo.zel" || code=$?
echo "exit code $code"
echo "== zel.log"
iconv -f WINDOWS-1251 -t UTF-8 zel.log | tr -d '\r'
echo "== demo.rom.zl (the report beside the image)"
iconv -f WINDOWS-1251 -t UTF-8 demo.rom.zl | tr -d '\r'
if [ "$code" -ne 0 ]; then
    # Until midi2zavra can patch melodies into an image, the melody step ends the export with
    # the compiler's refusal; the layouts and preset variables are in the image all the same.
    if iconv -f WINDOWS-1251 -t UTF-8 demo.rom.zl | grep -q "is not available in this build"; then
        echo "== the melody compiler of this build cannot patch melodies yet (see the last line)"
        exit 0
    fi
    exit "$code"
fi
