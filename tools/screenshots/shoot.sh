#!/usr/bin/env bash
# Screenshots of zel's windows: starts the window demo (zel on the phone simulator, a call
# ringing after five seconds) on a virtual X display and saves PNGs of the main window with the
# city-code editor tab open (before and after the call), the debug window, the settings dialog
# and the record grid with phone-book records.
#   tools/screenshots/shoot.sh [BUILD_DIR [OUT_DIR]]
# BUILD_DIR defaults to build (the tree must be built), OUT_DIR to BUILD_DIR/screenshots. Needs
# the Debian packages xvfb, imagemagick and x11-utils. The pictures never go into the
# repository.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$build/screenshots}
for tool in Xvfb import xwininfo; do
    if ! command -v "$tool" >/dev/null; then
        echo "shoot: $tool is missing (apt-get install xvfb imagemagick x11-utils)" >&2
        exit 1
    fi
done
shot=$build/tools/screenshots/settingsshot
[ -x "$shot" ] || { echo "shoot: $shot is missing; build the tree first" >&2; exit 1; }
gridshot=$build/tools/screenshots/gridshot
[ -x "$gridshot" ] || { echo "shoot: $gridshot is missing; build the tree first" >&2; exit 1; }
mkdir -p "$out"

display=
for n in $(seq 90 110); do
    if [ ! -e "/tmp/.X$n-lock" ]; then
        display=:$n
        break
    fi
done
[ -n "$display" ] || { echo "shoot: no free X display number" >&2; exit 1; }

tmp=$(mktemp -d)
xvfb_pid=
demo_pid=
# A killed child's wait returns its signal status: under set -e that would end the cleanup
# before the virtual display is stopped.
cleanup() {
    if [ -n "$demo_pid" ]; then
        kill "$demo_pid" 2>/dev/null || true
        wait "$demo_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do
    xwininfo -root >/dev/null 2>&1 && break
    sleep 0.1
done

# The window id of the top-level window with this title (empty when there is none).
window_id() {
    xwininfo -root -tree | awk -v name="\"$1\"" 'index($0, name) { print $1; exit }'
}
wait_for_window() {
    for _ in $(seq 150); do
        [ -n "$(window_id "$1")" ] && return 0
        sleep 0.2
    done
    echo "shoot: no window \"$1\" appeared" >&2
    return 1
}

# The demo opens with the city-code editor as its tab (the demo keeps this zel.ini).
mkdir -p "$tmp/demo-work"
printf '[Windows]\r\nVocEditor=1\r\n[Common]\r\nLastTab=VocEditor\r\n' >"$tmp/demo-work/zel.ini"
"$root/scripts/demo-window.sh" "$build/work" "$tmp/demo-work" </dev/null >"$tmp/demo.log" 2>&1 &
demo_pid=$!
wait_for_window "Отладчик"
sleep 2
import -window "$(window_id Telmira)" "$out/voc-editor.png"
sleep 7 # the call rings five seconds after the start
import -window "$(window_id Telmira)" "$out/main-window.png"
import -window "$(window_id Отладчик)" "$out/debug-window.png"
import -window root "$out/screen.png"

pages=("link" "windows" "origin")
for page in 0 1 2; do
    "$shot" "$tmp/demo-work" "$page" 20 &
    shot_pid=$!
    wait_for_window "Настройки программы"
    sleep 1
    import -window "$(window_id "Настройки программы")" "$out/settings-${pages[$page]}.png"
    kill "$shot_pid" 2>/dev/null || true
    wait "$shot_pid" 2>/dev/null || true
done
# The record grid draws itself into its PNG (no window to catch): plain and with a search.
"$gridshot" "$out/grid-phonebook.png"
"$gridshot" "$out/grid-search.png" "ИВ"
echo "Screenshots in $out:"
ls -1 "$out"
