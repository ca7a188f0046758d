#!/usr/bin/env bash
# Builds what it starts (sbk, sbk-cli and, when it is missing, the default database
# build/bin/SBK.MDB) and starts SBK on that database; ./scripts/test.sh builds the rest. Run from
# build/, SBK keeps its settings in build/bin/SBK.conf, never in the user's.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh sbk sbk-cli sbk_default_database
if [ -x build/bin/sbk ]; then
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "$(uname)" = Linux ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
        echo "There is no display here, so the SBK window cannot open."
        echo "Use the command-line tool instead, for example:"
        echo "  build/bin/sbk-cli import FOLDER --subfolders"
        echo "  build/bin/sbk-cli list"
        echo "  build/bin/sbk-cli --help"
        exit 0
    fi
    exec build/bin/sbk "$@"
fi
exec build/bin/sbk-cli --help
