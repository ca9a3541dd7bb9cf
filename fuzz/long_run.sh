#!/usr/bin/env bash
# The long run of every fuzz target, one after the other, niced, each for its
# share of the time. The corpus grows in $CORPUS (default /tmp/zep8-fuzz),
# seeded from fuzz/corpus; a fault stops the run with its input in $CORPUS.
#
#   fuzz/long_run.sh BUILD_DIR [MINUTES]      (default 30 minutes in all)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: fuzz/long_run.sh BUILD_DIR [MINUTES]}
minutes=${2:-30}
corpus=${CORPUS:-/tmp/zep8-fuzz}
# Shares of the time (in twentieths): the slow targets get more.
shares=(zep_loader:7 value:4 reply_frame:4 command_line:3 foreign_reply:2)
for entry in "${shares[@]}"; do
    name=${entry%%:*}
    seconds=$((minutes * 60 * ${entry##*:} / 20))
    mkdir -p "$corpus/$name"
    echo "${name}_fuzz: ${seconds} s"
    nice -n 10 "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$corpus/$name-" "$corpus/$name" "fuzz/corpus/$name" \
        > "$corpus/$name.log" 2>&1 || { tail -n 40 "$corpus/$name.log"; exit 1; }
    grep -E '^Done [0-9]+ runs|stat::number_of_executed_units' "$corpus/$name.log"
done
