#!/usr/bin/env bash
# Runs clang-tidy over src/ and app/. clang-tidy cannot read GCC's precompiled
# headers, so it uses a build folder of its own configured without them
# (build/tidy, made on first use; only configured, never built).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/tidy}
if [ ! -f "$build/compile_commands.json" ]; then
    cmake --preset release -B "$build" -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON \
        -DQC_BUILD_TESTS=OFF -DQC_BUILD_BENCH=OFF > /dev/null
fi
# Qt's generated sources (moc) are built but not ours to tidy.
find src app -type f -name '*.cpp' | sort |
    xargs -P "${QC_JOBS:-$(nproc)}" -n 4 clang-tidy -p "$build" --quiet
