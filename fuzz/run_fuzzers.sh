#!/usr/bin/env bash
# Builds the libFuzzer harnesses (preset "fuzz", clang) and runs each for the
# given number of seconds (default 20), then prints executions and findings.
#   fuzz/run_fuzzers.sh [seconds-per-harness]
# Crash inputs are kept in build/fuzz/findings/<harness>/; the working corpora
# in build/fuzz/corpus/<harness>/ grow from run to run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target tonepick_fuzzer seqconv_fuzzer midi_appenders_fuzzer examples_generator >/dev/null

root=build/fuzz
mkdir -p "$root/corpus/tonepick_fuzzer" "$root/corpus/seqconv_fuzzer" "$root/corpus/midi_appenders_fuzzer"

# Seeds: the demo inputs, prefixed with the harness's option byte, and the
# real logs and banks beside the repository when they are present.
seed_dir=$root/seeds
rm -rf "$seed_dir"; mkdir -p "$seed_dir/tonepick" "$seed_dir/seqconv"
"$root/examples/examples_generator" --fuzz-seeds "$seed_dir" >/dev/null
if [ -d ../shared/corpus/vgm ]; then
  for f in ../shared/corpus/vgm/*.vgm; do
    [ "$(stat -c %s "$f")" -lt 300000 ] || continue
    { printf '\x00'; cat "$f"; } > "$seed_dir/tonepick/$(basename "$f")"
  done
fi

status=0
run_one() {
  local name=$1 dict=$2; shift 2
  local findings=$root/findings/$name
  mkdir -p "$findings"
  local log=$root/$name.log
  set +e
  "$root/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
    ${dict:+-dict="$dict"} -rss_limit_mb=2048 -timeout=10 "$root/corpus/$name" "$@" >"$log" 2>&1
  local rc=$?
  set -e
  local execs
  execs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  local found
  found=$(find "$findings" -type f | wc -l)
  printf '%-24s %10s executions in %ss, %s finding(s), exit %s\n' "$name" "${execs:-?}" "$seconds" "$found" "$rc"
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    status=1
    grep -E 'ERROR|SUMMARY|runtime error' "$log" | head -5 || true
  fi
}

run_one tonepick_fuzzer fuzz/vgm.dict "$seed_dir/tonepick"
run_one seqconv_fuzzer fuzz/gems.dict "$seed_dir/seqconv"
run_one midi_appenders_fuzzer ""
exit $status
