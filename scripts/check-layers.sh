#!/usr/bin/env bash
# Checks that the layers depend one way: each folder below includes only its own headers and those
# of the folders it stands on, and nothing below the window reaches a widget header.
#   scripts/check-layers.sh QT_WIDGETS_INCLUDE_DIR
# Prints every include that breaks the rule, and ends with 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
widgets_dir="${1:?the QtWidgets include directory}"

# The project folders each folder may include from, itself first.
declare -A may=(
    [core]="core"
    [mdb]="mdb core"
    [link]="link core"
    [decode]="decode mdb core"
    [commands]="commands mdb core"
    [capture]="capture mdb core"
    [console]="console capture commands decode link mdb core"
    [plans]="plans console capture commands decode link mdb core"
    [sim]="sim capture link mdb core"
    [screens]="screens core"
    [session]="session plans sim console capture commands decode link mdb core"
    [app]="app session screens sim plans console capture commands decode link mdb core"
)
# The folders whose files may include widget headers: the windows, and the virtual board's own
# window (sim/boardwindow.*, a target of its own beside the widget-free board).
widget_files='^(app/|screens/|sim/boardwindow\.)'

# Every header QtWidgets has, by the names a source would include.
widget_headers=$(ls "$widgets_dir" | grep -v '\.h$' | sed 's/^/</; s/$/>/')

broken=0
for folder in "${!may[@]}"; do
    allowed="${may[$folder]}"
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
    echo "layers: ${!may[*]} include only what they stand on, and only the windows widget headers"
fi
exit "$broken"
