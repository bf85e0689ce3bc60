#!/usr/bin/env bash
# Runs every benchmark (each at its size and twice its size, on SQLite and on the
# local PostgreSQL server) and writes their figures into the scaling table of
# bench/README.md, between its two "scaling table" marks: time, floor and
# ratio to it, growth from the smaller size, peak memory, and the machine.
#
#   sudo bash scripts/bench-table.sh [benchmark filter]
#
# Installs what it needs, builds the release preset and starts PostgreSQL, as
# scripts/test.sh does. Takes about an hour; the filter runs a part of it (the
# rows of the others stay as they were measured).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
qc_install_packages
command -v python3 > /dev/null || apt-get install -y -q python3 > /dev/null
qc_start_postgres
build=${QC_BUILD_ROOT:-build}/release
cmake --preset release -B "$build" > /dev/null
cmake --build "$build" --target qc_bench qcinput
out=$(mktemp --suffix=.json)
QC_BENCH_PG=${QC_BENCH_PG:-postgresql://qc:qc@localhost:5432/qc_test} "$build/qc_bench" --benchmark_filter="${1:-.}" \
    --benchmark_format=json > "$out"
python3 scripts/bench_table.py "$out" bench/README.md
echo "bench/README.md: the scaling table written from $out"
