#!/usr/bin/env bash
# run-fuzzer.sh FUZZER CORPUS SECONDS [SEED-COMMAND...]
# Runs a fuzzer for a bounded time on a corpus that starts from the seeds the
# seed command writes into it. A crash, leak or sanitizer report fails.
set -eu
fuzzer=$1 corpus=$2 seconds=$3
shift 3
artifacts=$(dirname "$corpus")/$(basename "$fuzzer")-artifacts/
mkdir -p "$corpus" "$artifacts"
if [ $# -gt 0 ] && [ -z "$(ls -A "$corpus")" ]; then
  "$@" "$corpus"
fi
exec "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
  -artifact_prefix="$artifacts" "$corpus"
