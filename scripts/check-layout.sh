#!/usr/bin/env bash
# Fails when a source file includes a header its folder may not use. The rows are the table of
# DESIGN.md's Layout: each logic library may use only those before it in its row; the logic
# libraries never include Qt Widgets; only zel/ includes every subsystem.
#   scripts/check-layout.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# folder -> the project folders its includes may name (itself included)
declare -A allowed=(
    [base]="base"
    [frame]="base frame"
    [link]="base frame link"
    [contacts]="base frame link contacts"
    [phone]="base frame link contacts phone"
    [project]="base frame link project"
    [player]="base player"
    [melodies]="base frame link contacts project player melodies"
    [gui]="base frame link contacts phone project player melodies gui"
    [zel]="base frame link contacts phone project player melodies gui zel"
)
# Qt modules whose headers a folder may include (QtCore is open to every Qt folder but base).
declare -A qt=(
    [base]=""
    [frame]="QtCore QtNetwork"
    [link]="QtCore QtNetwork QtSerialPort QtDBus"
    [contacts]="QtCore QtNetwork QtSerialPort QtDBus QtGui"
    [phone]="QtCore QtNetwork QtSerialPort QtDBus QtGui"
    [project]="QtCore QtNetwork QtSerialPort QtDBus"
    [player]="QtCore"
    [melodies]="QtCore QtNetwork QtSerialPort QtDBus QtGui"
)
qt_headers=$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)

# The Qt module that holds a header (QtCore, QtGui, QtWidgets, ...), empty when none does.
qt_module() {
    local dir
    for dir in "$qt_headers"/Qt*; do
        if [ -e "$dir/$1" ]; then
            basename "$dir"
            return
        fi
    done
}

status=0
for folder in "${!allowed[@]}"; do
    [ -d "$folder" ] || continue
    mapfile -t files < <(git ls-files "$folder/*.cpp" "$folder/*.h" 2>/dev/null || true)
    for file in "${files[@]}"; do
        while IFS= read -r line; do
            if [[ $line =~ ^#include\ \"([a-z_]+)/ ]]; then
                used=${BASH_REMATCH[1]}
                [ "$used" = tests ] && continue
                if [[ " ${allowed[$folder]} " != *" $used "* ]]; then
                    echo "$file: $folder may not include $used/: $line"
                    status=1
                fi
            elif [[ $line =~ ^#include\ \<(Q[A-Za-z]+)\> ]] && [ "$folder" != gui ] &&
                [ "$folder" != zel ]; then
                header=${BASH_REMATCH[1]}
                if [ -z "${qt[$folder]}" ]; then
                    echo "$file: $folder uses the standard library only: $line"
                    status=1
                else
                    module=$(qt_module "$header")
                    if [ -n "$module" ] && [[ " ${qt[$folder]} " != *" $module "* ]]; then
                        echo "$file: $folder may not use $module: $line"
                        status=1
                    fi
                fi
            fi
        done < <(grep -E '^#include' "$file")
    done
done
# Only zel/ names every subsystem.
for folder in gui; do
    if git grep -l -E '^#include "zel/' -- "$folder" >/dev/null 2>&1; then
        echo "$folder includes zel/, which nothing may depend on"
        status=1
    fi
done
if [ $status -eq 0 ]; then
    echo "every include keeps to the layout's dependency table"
fi
exit $status
