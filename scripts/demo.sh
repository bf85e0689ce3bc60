#!/usr/bin/env bash
# Installs what QCInput needs, builds it, creates the demo account (an SQLite
# file) and opens the login window.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

qc_install_packages

echo "== build (release)"
cmake --preset release
cmake --build --preset release --target qcinput -j "$(qc_jobs)"
qcinput=build/release/qcinput

echo "== demo account"
"$qcinput" init-demo

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "== opening QCInput"
    exec "$qcinput"
fi

# No screen here: show that the login and the menu work by drawing them off screen.
echo
echo "This machine has no display (DISPLAY is not set), so the login window cannot open here."
echo "Run $qcinput on a desktop, or over ssh -X. The windows drawn off screen:"
QT_QPA_PLATFORM=offscreen "$qcinput" --screenshot build/screenshots --db build/screenshots/demo.db 2>/dev/null
