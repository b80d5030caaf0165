#!/usr/bin/env bash
# Formats every C++ file of the repository with clang-format (rules in .clang-format).
#   scripts/format.sh          rewrite the files in place
#   scripts/format.sh --check  change nothing; list the files that differ and exit 1 when there are any
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    bad=()
    for f in "${files[@]}"; do
        if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
            bad+=("$f")
        fi
    done
    if ((${#bad[@]})); then
        printf 'format: %s is not formatted (run scripts/format.sh)\n' "${bad[@]}" >&2
        exit 1
    fi
    echo "format: ${#files[@]} files formatted" >&2
else
    clang-format -i "${files[@]}"
fi
