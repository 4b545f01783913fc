#!/bin/sh
# Runs one transcript test: NAME.in is piped to Tavrin, started in a fresh
# temporary directory that holds its own start-up file tvrstart.txt (a copy
# of NAME.tvrstart when there is one, else the single line "100") and a copy
# of every file in the folder NAME.files when there is one. Standard
# output must equal NAME.out byte for byte once these lines are masked:
#   the date line          -> " <date>"
#   elapsed-time lines     -> " Elapsed <time>"
#   the data directory     -> "Reading initialization data from directory <dir>/BACKWARD/"
# and the exit status must be 0. A failure prints a unified diff (expected
# first).
#
# Usage: run_transcript.sh TAVRIN TRANSCRIPT_DIR NAME
set -u
tavrin=$1
dir=$2
name=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin_transcript.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT INT TERM

if [ -f "$dir/$name.tvrstart" ]; then
  cp "$dir/$name.tvrstart" "$work/tvrstart.txt"
else
  echo 100 > "$work/tvrstart.txt"
fi

if [ -d "$dir/$name.files" ]; then
  cp "$dir/$name.files"/* "$work/"
fi

(cd "$work" && "$tavrin" < "$dir/$name.in" > "$work/raw.out" 2> "$work/stderr.out")
status=$?

sed -e 's/^ [A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9] [0-9][0-9]*$/ <date>/' \
    -e 's/^ Elapsed .*$/ Elapsed <time>/' \
    -e 's|^Reading initialization data from directory .*/BACKWARD/$|Reading initialization data from directory <dir>/BACKWARD/|' \
    "$work/raw.out" > "$work/actual.out"

if ! cmp -s "$dir/$name.out" "$work/actual.out"; then
  echo "transcript $name: standard output differs from $name.out (--- expected, +++ actual):"
  diff -u "$dir/$name.out" "$work/actual.out"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "transcript $name: exit status $status"
  cat "$work/stderr.out"
  exit 1
fi
exit 0
