#!/usr/bin/env bash
# Runs clang-tidy over src/ and app/ with the compile commands of a build
# (build/release by default; configure it first with: cmake --preset release).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
if [ ! -f "$build/compile_commands.json" ]; then
    echo "no $build/compile_commands.json: run cmake --preset release first" >&2
    exit 1
fi
checks=()
if [ ! -f .clang-tidy ]; then
    checks=(--checks='-*,bugprone-*,-bugprone-easily-swappable-parameters,performance-*,modernize-use-override,modernize-use-nullptr,readability-container-size-empty,readability-redundant-*')
fi
# Qt's generated sources (moc) are built but not ours to tidy.
find src app -type f -name '*.cpp' | sort |
    xargs -P "${QC_JOBS:-$(nproc)}" -n 4 clang-tidy -p "$build" --quiet "${checks[@]}"
