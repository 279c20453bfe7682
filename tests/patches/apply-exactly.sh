#!/usr/bin/env bash
# A patch whose hunk no longer matches JUCE, by its context or by its lines, must stop the copy with the patch's
# name; the patch as it stands must apply. Runs on a copy of the one file the patch touches.
#     apply-exactly.sh JUCE_MODULES_DIR PATCH
set -euo pipefail
modules="$1" patch="$2"
apply="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../cmake" && pwd)/ApplyJucePatches.cmake"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
target="$(sed -n 's|^+++ b/\([^\t]*\).*|\1|p' "$patch" | head -n 1)"

cp "$patch" "$work/original.patch"
# The first hunk's first line of context as JUCE no longer has it, which patch's usual fuzz would overlook, and
# every hunk named 1000 lines further on.
awk '!done && /^ .*[a-z]/ { sub(/\r?$/, " // changed&"); done = 1 } { print }' "$patch" > "$work/changed.patch"
sed -E 's/^@@ -([0-9]+)/@@ -1\1/' "$patch" > "$work/moved.patch"

for case in original changed moved; do
    mkdir -p "$work/$case/$(dirname "$target")"
    cp "$modules/$target" "$work/$case/$target"
    if output="$(cmake -DVELLUMAR_MODULES_DIR="$work/$case" -DVELLUMAR_PATCHES="$work/$case.patch" -P "$apply" 2>&1)"; then
        [ "$case" = original ] && continue
        echo "the $case copy of $patch applied:"; echo "$output"; exit 1
    fi
    if [ "$case" = original ]; then
        echo "$patch does not apply:"; echo "$output"; exit 1
    fi
    grep -q "$case.patch does not apply exactly" <<<"$output" || { echo "no patch named in:"; echo "$output"; exit 1; }
done
