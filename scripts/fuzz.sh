#!/usr/bin/env bash
# Builds the core's fuzz target with clang (build/fuzz) and runs it.
#   scripts/fuzz.sh [SECONDS [FOLDER]]   fuzz for SECONDS (600 unless given);
#                                        0 only builds; FOLDER is build/fuzz
# New inputs collect in FOLDER/corpus, so each run goes on from the last;
# tests/fuzz/seeds starts it off. A failing input is saved as FOLDER/crash-*
# and the script fails; rerun it with FOLDER/core_fuzzer FOLDER/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
seconds=${1:-600}
dir=${2:-build/fuzz}

CXX=clang++-14 cmake -S tests/fuzz -B "$dir" >/dev/null
cmake --build "$dir" >/dev/null
[ "$seconds" -eq 0 ] && exit 0
mkdir -p "$dir/corpus"
# A shortcut with every structure, its environment block among them, fits in
# 2 KB; the other readers need far less.
"$dir/core_fuzzer" -max_total_time="$seconds" -max_len=2048 -print_final_stats=1 \
    -artifact_prefix="$dir/" "$dir/corpus" tests/fuzz/seeds
