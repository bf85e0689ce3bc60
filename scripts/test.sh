#!/usr/bin/env bash
# Installs what QCInput needs, builds it (optimised, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every check and test: the formatting check,
# the database suites on SQLite and on a local PostgreSQL, and the window
# journeys on the offscreen platform. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

qc_install_packages
jobs=$(qc_jobs)

echo "== clang-format"
mapfile -t sources < <(find src app tests bench -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort)
clang-format --dry-run --Werror "${sources[@]}"
echo "${#sources[@]} files formatted"

echo "== clang-tidy (the files the last five commits changed)"
bash scripts/tidy.sh --since HEAD~5 "${QC_BUILD_ROOT:-build}/tidy"

qc_start_postgres
qc_small_tablespace
export QC_TEST_PG=postgresql://qc:qc@localhost:5432/qc_test
export QC_FAST_HASH=1
export QT_QPA_PLATFORM=offscreen
export TZ=UTC LC_ALL=C.UTF-8
# The sanitizer settings hold for the build too: test discovery runs the binaries.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# QC_BUILD_ROOT puts the two builds elsewhere (default: the presets' build/release
# and build/asan).
root=${QC_BUILD_ROOT:-build}
summaries=()
for preset in release asan; do
    dir="$root/$preset"
    # Both builds run every suite on SQLite and PostgreSQL: the odd-input corpus,
    # the kills and the concurrent copies included, under the sanitizers too.
    echo "== build ($preset, $dir) $(date +%T)"
    # One translation unit per eight sources: Qt's and the suites' headers are
    # parsed an eighth as often, which halves a fresh build on two cores. (An
    # incremental build at a desk is faster without it, so the presets leave it off.)
    cmake --preset "$preset" -B "$dir" -DQC_BUILD_TESTS=ON -DCMAKE_UNITY_BUILD=ON
    cmake --build "$dir" -j "$jobs"
    echo "== tests ($preset) $(date +%T)"
    log="$dir/ctest.log"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$log"
    # A ctest test is one suite on one back end; its skipped tests are named here.
    skipped=$(grep -hE '^\[  SKIPPED \] [^ ]+\.[^ ]+' "$dir/Testing/Temporary/LastTest.log" | sed -E 's/ \([0-9]+ ms\)$//' | sort -u | sed 's/^/    /' || true)
    summaries+=("$preset: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
    [[ -z "$skipped" ]] || summaries+=("  skipped:" "$skipped")
done

echo
echo "== summary $(date +%T)"
printf '%s\n' "${summaries[@]}"
