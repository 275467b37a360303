#!/bin/sh
# Runs fuzz harnesses one after the other at the lowest priority, each for SECONDS or until
# FUZZ_RUNS executions (default 10 million) if that comes first, with its dictionary and seeds; new inputs go to BUILD-FOLDER/corpus-NAME, findings and the log
# (with libFuzzer's final statistics) to BUILD-FOLDER/findings-NAME/ and BUILD-FOLDER/NAME.log.
#   fuzz/run.sh BUILD-FOLDER SECONDS [NAME...]    (default: every harness built)
set -u
build=${1:?usage: run.sh BUILD-FOLDER SECONDS [NAME...]}
seconds=${2:?usage: run.sh BUILD-FOLDER SECONDS [NAME...]}
shift 2
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
names=$*
if [ -z "$names" ]; then
  names=$(cd "$build/fuzz" && ls -- *_fuzz | sed 's/_fuzz$//')
fi
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
status=0
for name in $names; do
  mkdir -p "$build/corpus-$name" "$build/findings-$name"
  echo "== $name"
  nice -n 19 "$build/fuzz/${name}_fuzz" -dict="$here/$name.dict" -max_total_time="$seconds" \
    -runs="${FUZZ_RUNS:-10000000}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/findings-$name/" \
    "$build/corpus-$name" "$here/corpus/$name" >"$build/$name.log" 2>&1 || status=1
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)|(DONE|INITED) +cov:|^==[0-9]+==ERROR|SUMMARY|Test unit written' \
    "$build/$name.log" | tail -n 8
done
exit $status
