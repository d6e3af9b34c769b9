#!/usr/bin/env bash
# The main job on a laid-out work directory: for now the usage run of zel and the log it wrote.
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
echo "== zel -? (run in $run, work directory $work)"
"$work/zel" -? && echo "exit code 0"
echo "== zel.log"
iconv -f WINDOWS-1251 -t UTF-8 zel.log | tr -d '\r'
