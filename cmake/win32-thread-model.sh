#!/bin/sh
# Compiler launcher of the 32-bit product: runs the win32 thread model
# compiler in place of the posix one, so the programs users get link no
# winpthread and import nothing the oldest systems lack. The test programs
# keep the posix model, which GoogleTest needs.
compiler="$1"
shift
case "$compiler" in
  *-posix) compiler="${compiler%-posix}-win32" ;;
esac
exec "$compiler" "$@"
