#!/usr/bin/env bash
# Fails when a file under src/ includes a file of a layer above its own. The layers, from the bottom:
# core, store, the engines (metadata, sty, music, interchange, banks: each may use those before it), session,
# gui and cli (neither uses the other), app. A file may always include files of its own folder.
set -u
src=${1:?usage: check_layers.sh SRC_FOLDER}
cd "$src" || exit 2

rank() {
    case $1 in
        core) echo 0 ;; store) echo 1 ;;
        metadata) echo 2 ;; sty) echo 3 ;; music) echo 4 ;; interchange) echo 5 ;; banks) echo 6 ;;
        session) echo 7 ;; gui | cli) echo 8 ;; app) echo 9 ;;
        *) echo -1 ;;
    esac
}

faults=0
while IFS= read -r file; do
    folder=${file%%/*}
    own=$(rank "$folder")
    if [ "$own" -lt 0 ]; then
        echo "$file: the folder $folder is not a layer"
        faults=$((faults + 1))
        continue
    fi
    while IFS= read -r line; do
        included=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"${line#*:}")
        target=${included%%/*}
        [ "$target" = "$included" ] && continue # a file beside it, or a generated one
        [ "$target" = "$folder" ] && continue
        theirs=$(rank "$target")
        [ "$theirs" -lt 0 ] && continue # not a folder of src/
        if [ "$theirs" -ge "$own" ]; then
            echo "$file:${line%%:*}: includes $included, which is not in a layer below $folder"
            faults=$((faults + 1))
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | sort)

if [ "$faults" -gt 0 ]; then
    echo "$faults include(s) run upwards"
    exit 1
fi
echo "Every include of $src runs to its own folder or a layer below"
