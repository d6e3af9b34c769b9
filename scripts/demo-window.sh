#!/usr/bin/env bash
# The window demo: the phone simulator plays a Korvel phone on a pseudo-terminal and zel runs
# connected to it, in its own demo work directory next to the laid-out one.
#   scripts/demo-window.sh WORK_DIR [DEMO_DIR]
# WORK_DIR is the laid-out work directory (build/work); the simulator is taken from the same
# build (build/tools/phonesim/phonesim). DEMO_DIR (default: WORK_DIR/../demo-work) receives a
# copy of WORK_DIR; its zel.ini keeps what the last demo left (window bounds, open tabs) and
# gets Common.ComPort set to the simulator's terminal DEMO_DIR/phone. About five seconds after
# the start the phone rings (4951234567); further orders for the phone ("ring NUMBER",
# "dial NUMBER", "lift", "hangup") can be typed here. Closing zel ends the demo.
set -euo pipefail
work=$(cd "$1" && pwd)
build=$(dirname "$work")
demo=${2:-$build/demo-work}
phonesim=$build/tools/phonesim/phonesim
if [ ! -x "$phonesim" ]; then
    echo "demo: the phone simulator is missing ($phonesim); build the tree first" >&2
    exit 1
fi

# A fresh copy of the installation; the demo's own zel.ini stays.
mkdir -p "$demo"
for item in "$work"/* "$work"/.[!.]*; do
    [ -e "$item" ] || continue
    name=$(basename "$item")
    if [ "$name" = zel.ini ] && [ -e "$demo/zel.ini" ]; then
        continue
    fi
    cp -a "$item" "$demo/"
done
[ -e "$demo/zel.ini" ] || : >"$demo/zel.ini"

# Sets Section.Key in a Windows-1251 INI file with CR LF line ends; the value is UTF-8 text.
ini_set() {
    local file=$1 section=$2 key=$3 value
    value=$(printf '%s' "$4" | iconv -f UTF-8 -t WINDOWS-1251)
    LC_ALL=C awk -v section="$section" -v key="$key" -v value="$value" '
        BEGIN { target = "[" tolower(section) "]" }
        { sub(/\r$/, "") }
        /^\[/ {
            if (inside && !done) { print key "=" value "\r"; done = 1 }
            inside = (tolower($0) == target)
        }
        inside && tolower(substr($0, 1, length(key) + 1)) == tolower(key) "=" {
            if (!done) { print key "=" value "\r"; done = 1 }
            next
        }
        { print $0 "\r" }
        END {
            if (!done) {
                if (!inside) print "[" section "]\r"
                print key "=" value "\r"
            }
        }' "$file" >"$file.new"
    mv "$file.new" "$file"
}

port=$demo/phone
ini_set "$demo/zel.ini" Common ComPort "$port"
ini_set "$demo/zel.ini" Common Debug 1
ini_set "$demo/zel.ini" Windows Phone 0

run=$(mktemp -d)
mkdir -m 700 "$run/runtime"
# A zel already running for this user would take the start over: the demo gets its own.
export XDG_RUNTIME_DIR=$run/runtime
mkfifo "$run/orders"
phone_pid=
zel_pid=
cleanup() {
    exec 3>&- 2>/dev/null || true
    [ -n "$zel_pid" ] && kill "$zel_pid" 2>/dev/null || true
    [ -n "$phone_pid" ] && kill "$phone_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$run"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$phonesim" --link "$port" <"$run/orders" > >(sed -u 's/^/phone: /') &
phone_pid=$!
exec 3>"$run/orders"
for _ in $(seq 50); do
    [ -e "$port" ] && break
    sleep 0.1
done
if [ ! -e "$port" ]; then
    echo "demo: the phone simulator did not start" >&2
    exit 1
fi

echo "== zel in $demo, connected to the simulated phone at $port"
"$demo/zel" &
zel_pid=$!
(sleep 5 && echo "ring 4951234567" >&3) &
echo "Orders for the phone: ring NUMBER, dial NUMBER, lift, hangup. Closing zel ends the demo."
reading=1
while kill -0 "$zel_pid" 2>/dev/null; do
    if [ "$reading" = 1 ]; then
        if read -r -t 1 line; then
            echo "$line" >&3
        elif [ $? -le 128 ]; then
            reading=0 # no more input
        fi
    else
        sleep 1
    fi
done
wait "$zel_pid" && echo "zel ended (exit code 0)"
