#!/usr/bin/env bash
# Benchmark (not a test): the console program deletes 6,400 small marked
# files with the undo journal and with -noundo, and prints both times and
# their ratio (the bar is 1.5). Optional tree: win or win64.
exec bash "$(dirname "$0")/bench-in-prefix.sh" undo_journal_bench "${1:-}" mendrix-cli mendrix-dat
