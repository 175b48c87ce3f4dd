#!/usr/bin/env bash
# Benchmarks of tonepick and seqconv on large generated inputs.
#   bench/run_bench.sh            full run: ~100 MB VGM files (plain and as .vgz), 200-song GEMS banks, scaling table
#   bench/run_bench.sh --quick    smaller inputs and fewer runs, to try the script out
# Builds the release preset, generates the inputs into build/bench/ (kept for the
# next run), writes the outputs on /dev/shm (or build/bench/out) and prints, per
# input, the medians of wall time, CPU time and peak memory over several runs,
# the throughput, and the time of a plain sequential read (cat FILE > /dev/null)
# measured in the same run, with the ratio of the two. Each VGM input runs
# gzip-compressed too (gzip -6, as .vgz files usually are), with its wall time
# as a multiple of the plain file's; its "cat" is gzip -dc FILE > /dev/null,
# the floor of any reader that must inflate it. Then the scaling table:
# each generator at 1x, 4x and 16x size, times side by side.
# Environment: BUILD_DIR (default build/release), RUNS (default 5),
# SCALE_RUNS (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build/release}
RUNS=${RUNS:-5}
SCALE_RUNS=${SCALE_RUNS:-3}
VGM_MB=100     # size of the two main VGM inputs
VGM_BASE_MB=6  # scaling table: 6, 24, 96 MB
SONGS=200      # the main GEMS banks
SCALE_SONGS=50 # scaling table: 50, 200, 800 songs; and song length 1, 4, 16 with 25 songs
if [ "${1:-}" = "--quick" ]; then
  RUNS=3; SCALE_RUNS=1; VGM_MB=10; VGM_BASE_MB=1; SCALE_SONGS=10
fi

echo "== building $BUILD_DIR (release preset)"
cmake --preset release -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" --target tonepick seqconv generate_vgm generate_gems measure_run write_outputs >/dev/null
TONEPICK=$BUILD_DIR/tonepick/tonepick
SEQCONV=$BUILD_DIR/seqconv/seqconv
GEN_VGM=$BUILD_DIR/bench/generate_vgm
GEN_GEMS=$BUILD_DIR/bench/generate_gems
MEASURE=$BUILD_DIR/bench/measure_run
WRITE_OUTPUTS=$BUILD_DIR/bench/write_outputs

INPUTS=build/bench
mkdir -p "$INPUTS"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then OUT=$(mktemp -d /dev/shm/mdtools-bench.XXXXXX)
else mkdir -p build/bench/out; OUT=$(mktemp -d build/bench/out/run.XXXXXX); fi
trap 'rm -rf "$OUT"' EXIT

# Inputs are regenerated only when missing or older than their generator.
vgm_input() {  # kind megabytes -> path
  local f=$INPUTS/$1-$2mb.vgm
  if [ ! -f "$f" ] || [ "$GEN_VGM" -nt "$f" ]; then "$GEN_VGM" "$1" "$2" "$f" >/dev/null; fi
  echo "$f"
}
vgz_input() {  # path of a .vgm -> path of its gzip-compressed form
  local f=${1%.vgm}.vgz
  if [ ! -f "$f" ] || [ "$1" -nt "$f" ]; then gzip -6 -n -c "$1" > "$f"; fi
  echo "$f"
}
gems_input() {  # kind songs length -> path without extension (.seq, .ins)
  local f=$INPUTS/$1-$2songs-x$3
  if [ ! -f "$f.seq" ] || [ "$GEN_GEMS" -nt "$f.seq" ]; then
    "$GEN_GEMS" "$1" "$2" "$3" "$f.seq" "$f.ins" >/dev/null
  fi
  echo "$f"
}

mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
bytes_of() { stat -c %s "$1"; }

# measure runs stdout-file fresh-dir command... -> sets WALL CPU PEAK CODE USER_CPU
measure() {
  local runs=$1 stdout=$2 dir=$3; shift 3
  read -r WALL CPU PEAK CODE USER_CPU < <("$MEASURE" "$runs" "$stdout" --fresh "$dir" -- "$@")
}

printf '\n== tonepick (median of %d runs; output on %s)\n' "$RUNS" "$OUT"
# "files": writing copies of the same output files, nothing else (bench/write_outputs.cpp);
# with cat's read, the part of the wall time no conversion can avoid.
# "user": the CPU time of tonepick's own work; the rest of "cpu" is the system's.
printf '%-18s %7s %7s %7s %7s %8s %9s %8s %6s %7s %6s  %s\n' input MB wall cpu user 'MB/s' 'peak MiB' cat ratio files count 'memory budget'
for input in dense dense.vgz dac dac.vgz; do
  kind=${input%.vgz}
  f=$(vgm_input $kind $VGM_MB)
  [ "$input" = "$kind" ] || f=$(vgz_input "$f")
  size=$(bytes_of "$f")
  measure "$RUNS" "$OUT/tonepick.log" "$OUT/$kind" "$TONEPICK" "$f" "$OUT/$kind"
  [ "$CODE" = 0 ] || echo "tonepick exit code $CODE on $f"
  if [ "$input" = "$kind" ]; then read -r CAT_WALL _ _ _ < <("$MEASURE" "$RUNS" /dev/null -- cat "$f")
  else read -r CAT_WALL _ _ _ < <("$MEASURE" "$RUNS" /dev/null -- gzip -dc "$f"); fi
  # Blocks stored in memory plus the longest DAC capture plus 32 MiB.
  blocks=$(find "$OUT/$kind" -name 'datablock_*' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  longest=$(find "$OUT/$kind" -name 'sample_*.wav' -printf '%s\n' | awk 'BEGIN { m = 44 } $1 > m { m = $1 } END { print m - 44 }')
  budget=$(( (blocks + longest) / 1024 + 32 * 1024 ))
  verdict=$([ "$PEAK" -le "$budget" ] && echo within || echo OVER)
  read -r FILES_WALL FILES_COUNT < <("$WRITE_OUTPUTS" "$RUNS" "$OUT/$kind" "$OUT/copies")
  printf '%-18s %7.1f %7.3f %7.3f %7.3f %8.1f %9s %8.4f %5.1fx %7.3f %6d  %s MiB (%s)\n' "$(basename "$f")" \
    "$(awk -v b="$size" 'BEGIN { print b / 1000000 }')" "$WALL" "$CPU" "$USER_CPU" \
    "$(awk -v b="$size" -v t="$WALL" 'BEGIN { print b / 1000000 / t }')" "$(mib "$PEAK")" "$CAT_WALL" \
    "$(awk -v a="$WALL" -v b="$CAT_WALL" 'BEGIN { print a / b }')" "$FILES_WALL" "$FILES_COUNT" \
    "$(mib "$budget")" "$verdict"
  if [ "$input" = "$kind" ]; then PLAIN_WALL=$WALL
  else printf '%-18s %s\n' '' "$(awk -v a="$WALL" -v b="$PLAIN_WALL" 'BEGIN { printf "wall %.2fx the .vgm", a / b }')"; fi
done

# Records (note-on, note-off and pitch records of both passes) counted from the
# trace of flag l in one extra, untimed run: the trace does not change them.
count_events() {  # seq ins flags
  "$SEQCONV" "$1" "$2" "$OUT/count" "$3"l 2>/dev/null | awk '/^note = /{ n += 2 } /^pitch /{ n += 1 } END { print n + 0 }'
}

printf '\n== seqconv (median of %d runs)\n' "$RUNS"
printf '%-22s %6s %9s %9s %9s %12s %10s %9s %7s\n' input flags KiB wall cpu 'events/s' 'peak MiB' cat ratio
for spec in "songs 3c" "play 3sc"; do
  set -- $spec
  base=$(gems_input "$1" $SONGS 1)
  mkdir -p "$OUT/count"
  events=$(count_events "$base.seq" "$base.ins" "$2")
  measure "$RUNS" /dev/null "$OUT/$1" "$SEQCONV" "$base.seq" "$base.ins" "$OUT/$1" "$2"
  read -r CAT_WALL _ _ _ < <("$MEASURE" "$RUNS" /dev/null -- cat "$base.seq" "$base.ins")
  printf '%-22s %6s %9d %9.3f %9.3f %12.0f %10s %9.4f %6.1fx  (%d events)\n' "$(basename "$base")" "$2" \
    $(( ($(bytes_of "$base.seq") + $(bytes_of "$base.ins")) / 1024 )) "$WALL" "$CPU" \
    "$(awk -v e="$events" -v t="$WALL" 'BEGIN { print e / t }')" "$(mib "$PEAK")" "$CAT_WALL" \
    "$(awk -v a="$WALL" -v b="$CAT_WALL" 'BEGIN { print a / b }')" "$events"
done

printf '\n== scaling (median of %d runs: wall s / cpu s, and the growth of cpu time over 1x; linear is 4x and 16x)\n' "$SCALE_RUNS"
printf '%-34s %22s %22s %22s\n' input 1x 4x 16x
scale_row() {  # label; SCALE_KIND names the scale_cmd_* function that sets CMD for a size
  local label=$1
  local line first="" cell
  line=$(printf '%-34s' "$label")
  for size in 1 4 16; do
    "scale_cmd_$SCALE_KIND" "$size"
    measure "$SCALE_RUNS" /dev/null "$OUT/scale" "${CMD[@]}"
    if [ -z "$first" ]; then first=$CPU; cell=$(printf '%.3f/%.3f' "$WALL" "$CPU")
    else cell=$(printf '%.3f/%.3f %5.1fx' "$WALL" "$CPU" "$(awk -v a="$CPU" -v b="$first" 'BEGIN { print (b > 0 ? a / b : 0) }')"); fi
    line+=$(printf ' %22s' "$cell")
  done
  echo "$line"
}
scale_cmd_dense() { CMD=("$TONEPICK" "$(vgm_input dense $((VGM_BASE_MB * $1)))" "$OUT/scale"); }
scale_cmd_dac() { CMD=("$TONEPICK" "$(vgm_input dac $((VGM_BASE_MB * $1)))" "$OUT/scale"); }
scale_cmd_length() { local b; b=$(gems_input songs 25 "$1"); CMD=("$SEQCONV" "$b.seq" "$b.ins" "$OUT/scale" 3c); }
scale_cmd_count() { local b; b=$(gems_input songs $((SCALE_SONGS * $1)) 1); CMD=("$SEQCONV" "$b.seq" "$b.ins" "$OUT/scale" 3c); }
scale_cmd_play() { local b; b=$(gems_input play 64 "$1"); CMD=("$SEQCONV" "$b.seq" "$b.ins" "$OUT/scale" 3sc); }
SCALE_KIND=dense scale_row "tonepick dense ${VGM_BASE_MB}/$((4 * VGM_BASE_MB))/$((16 * VGM_BASE_MB)) MB"
SCALE_KIND=dac scale_row "tonepick dac ${VGM_BASE_MB}/$((4 * VGM_BASE_MB))/$((16 * VGM_BASE_MB)) MB"
SCALE_KIND=count scale_row "seqconv 3c songs $SCALE_SONGS/$((4 * SCALE_SONGS))/$((16 * SCALE_SONGS))"
SCALE_KIND=length scale_row "seqconv 3c 25 songs, length x1/4/16"
SCALE_KIND=play scale_row "seqconv 3sc 64 songs, length x1/4/16"
