#!/bin/sh
# Makes data/codes.voc from the readable source data/contacts/codes-voc.txt (UTF-8):
# drops comment lines ("#") and blank lines, numbers the lines of every section from 1 as their
# keys, and writes Windows-1251 with CR LF line ends. Run from anywhere; commit both files.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source="$here/codes-voc.txt"
target="$here/../codes.voc"
awk '
    /^[ \t]*#/ || /^[ \t]*$/ { next }
    /^\[/ { if (sections++) printf "\r\n"; printf "%s\r\n", $0; key = 0; next }
    { printf "%d=%s\r\n", ++key, $0 }
' "$source" | iconv -f UTF-8 -t CP1251 > "$target.tmp"
mv "$target.tmp" "$target"
echo "wrote $target"
