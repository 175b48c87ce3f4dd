#!/usr/bin/env bash
# Builds the libFuzzer harnesses (preset "fuzz", clang) and runs each for the
# given number of seconds (default 20), then prints executions and findings.
#   fuzz/run_fuzzers.sh [seconds-per-harness] [harness ...]
# Crash inputs are kept in build/fuzz/findings/<harness>/ (emptied at the
# start of each run); the working corpora in build/fuzz/corpus/<harness>/
# grow from run to run. Exits non-zero when any harness found something.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(tonepick_fuzzer seqconv_fuzzer midi_appenders_fuzzer)

root=build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${harnesses[@]}" seed_writer >/dev/null

# Seeds: built inputs, the demo tune and the small real files beside the
# repository when they are present.
seed_dir=$root/seeds
rm -rf "$seed_dir"
"$root/fuzz/seed_writer" "$seed_dir" examples ../shared/corpus

status=0
run_one() {
  local name=$1 dict="" seeds=""
  case $name in
    tonepick_fuzzer) dict=fuzz/vgm.dict; seeds=$seed_dir/tonepick ;;
    seqconv_fuzzer) dict=fuzz/gems.dict; seeds=$seed_dir/seqconv ;;
    midi_appenders_fuzzer) seeds=$seed_dir/midi_appenders ;;
  esac
  local corpus=$root/corpus/$name findings=$root/findings/$name log=$root/$name.log
  mkdir -p "$corpus"
  rm -rf "$findings"; mkdir -p "$findings"
  set +e
  # A whole seqconv run on a hostile bank may legitimately take seconds under
  # the sanitizers (its work bounds are large), hence the generous timeout.
  ASAN_OPTIONS=detect_leaks=1 "$root/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" ${dict:+-dict="$dict"} -rss_limit_mb=2048 -timeout=60 \
    -max_len=65536 "$corpus" ${seeds:+"$seeds"} >"$log" 2>&1
  local rc=$?
  set -e
  local execs found
  execs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' | tail -1)
  found=$(find "$findings" -type f | wc -l)
  printf '%-24s %10s executions in %ss, corpus %s, %s finding(s), exit %s\n' \
    "$name" "${execs:-?}" "$seconds" "$(find "$corpus" -type f | wc -l)" "$found" "$rc"
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    status=1
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -8 || true
  fi
}

for h in "${harnesses[@]}"; do run_one "$h"; done
exit $status
