#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests of the drive core,
# the import check of the Windows programs, and the Wine suites that drive
# the real programs. CTest prints one line per suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build/host --output-on-failure "$@"
