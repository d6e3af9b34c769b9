#!/usr/bin/env bash
# Fails when a C++ source of the tree is not laid out as .clang-format says; lists the files.
#   scripts/check-format.sh [CLANG_FORMAT]
set -euo pipefail
format=${1:-clang-format}
cd "$(dirname "$0")/.."
if [ -d .git ] || [ -f .git ]; then
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
    mapfile -t files < <(find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
bad=$("$format" --dry-run -Werror "${files[@]}" 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error:.*/\1/p' | sort -u || true)
if [ -n "$bad" ]; then
    echo "Not clang-format clean (run clang-format -i on them):"
    echo "$bad"
    exit 1
fi
echo "${#files[@]} files are clang-format clean"
