#!/usr/bin/env bash
# Checks that the layers depend one way: each folder below includes only its own headers and those
# of the folders it stands on, and nothing below the window reaches a widget header.
#   scripts/check-layers.sh QT_WIDGETS_INCLUDE_DIR
# Prints every include that breaks the rule, and ends with 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
widgets_dir="${1:?the QtWidgets include directory}"

# What each folder may include, as README.md's layout table says it: the folder, then the folders
# it may include from ("any" for the tests, benchmarks and fuzzers, nothing for data).
declare -A may=()
while IFS='|' read -r _ folder allowed _; do
    folder=$(sed -E 's/^ *`([^/`]+)\/` *$/\1/' <<<"$folder")
    may[$folder]=$(xargs <<<"$allowed")
done < <(grep -E '^\| `[a-z]+/` \|' README.md)
[ ${#may[@]} -gt 0 ] || { echo "README.md has no layout table"; exit 1; }

broken=0
# Every folder with sources has its row.
for dir in */; do
    dir=${dir%/}
    [[ "$dir" == build* ]] && continue
    if [ -n "$(find "$dir" -maxdepth 2 \( -name '*.h' -o -name '*.cpp' \) -print -quit)" ] && [ -z "${may[$dir]+x}" ]; then
        echo "$dir/: not in README.md's layout table"
        broken=1
    fi
done

# The folders whose files may include widget headers: the windows, and the virtual board's own
# window (sim/boardwindow.*, a target of its own beside the widget-free board).
widget_files='^(app/|screens/|sim/boardwindow\.)'

# Every header QtWidgets has, by the names a source would include.
widget_headers=$(ls "$widgets_dir" | grep -v '\.h$' | sed 's/^/</; s/$/>/')

for folder in "${!may[@]}"; do
    allowed="${may[$folder]}"
    [ "$allowed" = any ] && continue
    while IFS= read -r line; do
        file=${line%%:*}
        include=$(sed -E 's/^[^#]*#include[[:space:]]*//' <<<"${line#*:}")
        case "$include" in
        \"*/*\")
            owner=$(sed -E 's/^"([^/]+)\/.*/\1/' <<<"$include")
            [[ " $allowed " == *" $owner "* ]] && continue
            echo "$file: $include: $folder/ stands below $owner/"
            broken=1
            ;;
        \<QtWidgets/*|\<QtWidgets\>)
            [[ "$file" =~ $widget_files ]] && continue
            echo "$file: $include: $folder/ has no widgets"
            broken=1
            ;;
        \<Q*\>)
            [[ "$file" =~ $widget_files ]] && continue
            if grep -qxF "$include" <<<"$widget_headers"; then
                echo "$file: $include: $folder/ has no widgets"
                broken=1
            fi
            ;;
        esac
    done < <(grep -rn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#include' "$folder" || true)
done
if [ "$broken" -eq 0 ]; then
    checked=$(for f in "${!may[@]}"; do [ "${may[$f]}" = any ] || echo "$f"; done | sort | xargs)
    echo "layers: $checked include only what they stand on, and only the windows widget headers"
fi
exit "$broken"
