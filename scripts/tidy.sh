#!/usr/bin/env bash
# Runs clang-tidy over src/ and app/, every warning an error. With --since REV only
# over the files changed since that revision (CI: the last few commits); without
# git history there, over all of them. clang-tidy cannot read GCC's precompiled
# headers, so it uses a build folder of its own configured without them
# (build/tidy, made on first use; only configured, never built).
set -euo pipefail
cd "$(dirname "$0")/.."
since=
if [ "${1:-}" = --since ]; then
    since=$2
    shift 2
fi
build=${1:-build/tidy}
if [ ! -f "$build/compile_commands.json" ]; then
    cmake --preset release -B "$build" -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON \
        -DQC_BUILD_TESTS=OFF -DQC_BUILD_BENCH=OFF > /dev/null
fi
# Qt's generated sources (moc) are built but not ours to tidy.
if [ -n "$since" ] && git rev-parse --verify --quiet "$since" > /dev/null; then
    mapfile -t files < <(git diff --name-only --diff-filter=AM "$since" -- 'src/*.cpp' 'app/*.cpp' | sort)
else
    mapfile -t files < <(find src app -type f -name '*.cpp' | sort)
fi
echo "${#files[@]} files"
[ "${#files[@]}" -eq 0 ] && exit 0
printf '%s\n' "${files[@]}" |
    xargs -P "${QC_JOBS:-$(nproc)}" -n 4 clang-tidy -p "$build" --quiet --warnings-as-errors='*'
