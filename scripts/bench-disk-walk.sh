#!/usr/bin/env bash
# Benchmark (not a test): the DISK walk against bare FindFirstFileA and
# NtQueryDirectoryFile walks of 100,000 files. Optional tree: win or win64.
exec bash "$(dirname "$0")/bench-in-prefix.sh" disk_walk_bench "$@"
