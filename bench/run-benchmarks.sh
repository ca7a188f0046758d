#!/usr/bin/env bash
# Runs every benchmark with its defaults and prints their figures, each beside its floor measured in
# the same run, and their peak memory: the import, the listing commands, the restore, the duplicates,
# reading what styles play, the styles that sound alike, and the two windows. Usage: run-benchmarks.sh [BIN_FOLDER] (build/bin by default). The generated libraries
# (some GB) go to a temporary folder that is removed at the end.
set -euo pipefail
bin=${1:-$(dirname "$0")/../build/bin}
work=$(mktemp -d "${TMPDIR:-/tmp}/sbk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

run() {
    echo "== $*"
    "$@"
    echo
}
run "$bin/sbk-bench-import" --folder "$work/import"
rm -rf "$work/import"
run "$bin/sbk-bench-listing" --folder "$work/listing" --cli "$bin/sbk-cli"
rm -rf "$work/listing"
run "$bin/sbk-bench-restore" --folder "$work/restore"
rm -rf "$work/restore"
run "$bin/sbk-bench-duplicates" --folder "$work/duplicates"
rm -rf "$work/duplicates"
run "$bin/sbk-bench-music" --folder "$work/music"
rm -rf "$work/music"
run "$bin/sbk-bench-similar" --folder "$work/similar" --cli "$bin/sbk-cli"
rm -rf "$work/similar"
if [ -x "$bin/bench_styles_window" ]; then
    QT_QPA_PLATFORM=offscreen run "$bin/bench_styles_window"
    QT_QPA_PLATFORM=offscreen run "$bin/bench_bank_tree"
fi
