#!/usr/bin/env bash
# Benchmark (not a test): the memory pass over 50 target processes against
# Toolhelp module snapshots. Optional tree: win or win64.
exec bash "$(dirname "$0")/bench-in-prefix.sh" memory_pass_bench "$@"
