#!/bin/bash
# The checks a change passes before it lands, run by CI after the build:
# every tracked C++ file formatted as .clang-format says, and clang-tidy's
# agreed checks (.clang-tidy) on the C++ files changed since the commit named
# in .ci/tidy-base (the last one that landed; all files when it is unknown).
# Usage: scripts/check-style.sh BUILD_DIR [BASE]   (BUILD_DIR has
# compile_commands.json and the generated window headers, i.e. is built)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: check-style.sh BUILD_DIR [BASE]}
base=${2:-$(cat .ci/tidy-base 2>/dev/null || true)}

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${sources[@]}"; then
    echo "Formatting differs from .clang-format: run clang-format -i on the files above." >&2
    exit 1
fi
echo "format: ${#sources[@]} files as .clang-format says"

if [ -n "$base" ] && git cat-file -e "$base^{commit}" 2>/dev/null; then
    mapfile -t changed < <(git diff --name-only --diff-filter=d "$base" HEAD -- '*.cpp')
    what="changed since ${base:0:12}"
else
    mapfile -t changed < <(git ls-files '*.cpp')
    what="all"
fi
# Only what the build compiles (a developer tool outside it has no flags).
mapfile -t compiled < <(for f in "${changed[@]}"; do
    grep -q "\"file\": \"$PWD/$f\"" "$build/compile_commands.json" && echo "$PWD/$f"
done)
if [ ${#compiled[@]} -eq 0 ]; then
    echo "tidy: no C++ file $what"
    exit 0
fi
echo "tidy: ${#compiled[@]} files $what"
run-clang-tidy -p "$build" -j "$(nproc)" -quiet "${compiled[@]}" >"$build/clang-tidy.log" 2>&1 || {
    grep -E -A3 '(warning|error):' "$build/clang-tidy.log" | sed 's/\x1b\[[0-9;]*m//g' >&2
    echo "clang-tidy found the above (full log: $build/clang-tidy.log)." >&2
    exit 1
}
