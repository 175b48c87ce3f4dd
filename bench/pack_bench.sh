#!/usr/bin/env bash
# Pack benchmark of tonepick: the 20 corpus logs as .vgz files in one .zip with
# an .m3u playlist, converted in one pack run with -j 1 and -j 2, against the
# sum of the 20 single runs of the same .vgz files; and the same pack as a
# folder of .vgz files against the .zip. Skips (status 0) when the corpus is
# absent. Prints the medians of wall time per case and the ratios.
# Environment: BUILD_DIR (default build/release), RUNS (default 5),
# CORPUS (default ../shared/corpus/vgm).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build/release}
RUNS=${RUNS:-5}
CORPUS=${CORPUS:-../shared/corpus/vgm}
if ! compgen -G "$CORPUS/*.vgm" >/dev/null; then
  echo "pack benchmark skipped: no corpus logs in $CORPUS"
  exit 0
fi

echo "== building $BUILD_DIR (release preset)"
cmake --preset release -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" --target tonepick measure_run >/dev/null
TONEPICK=$BUILD_DIR/tonepick/tonepick
MEASURE=$BUILD_DIR/bench/measure_run

WORK=build/bench/pack
rm -rf "$WORK"
mkdir -p "$WORK/folder"
for f in "$CORPUS"/*.vgm; do
  gzip -6 -c "$f" > "$WORK/folder/$(basename "$f" .vgm).vgz"
done
# The playlist in reverse name order, so that its order is the one followed.
(cd "$WORK/folder" && ls -r *.vgz > game.m3u)
python3 - "$WORK/folder" "$WORK/pack.zip" <<'PY'
import os, sys, zipfile
folder, target = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
    for name in sorted(os.listdir(folder)):
        z.write(os.path.join(folder, name), "Game (Mega Drive)/" + name)
PY
OUT=/dev/shm
[ -d "$OUT" ] && [ -w "$OUT" ] || OUT=$WORK
OUT=$OUT/tonepick_pack_bench.$$
trap 'rm -rf "$OUT"' EXIT

wall() { read -r W _ _ _ _ < <("$MEASURE" "$RUNS" /dev/null --fresh "$OUT" -- "$@"); echo "$W"; }

SUM=0
for f in "$WORK"/folder/*.vgz; do
  W=$(wall "$TONEPICK" "$f" "$OUT/song")
  SUM=$(echo "$SUM + $W" | bc -l)
done
J1=$(wall "$TONEPICK" -j 1 "$WORK/pack.zip" "$OUT/pack")
J2=$(wall "$TONEPICK" -j 2 "$WORK/pack.zip" "$OUT/pack")
F2=$(wall "$TONEPICK" -j 2 "$WORK/folder" "$OUT/pack")
ratio() { echo "scale=3; $1 / $2" | bc -l; }
printf '%-34s %8s s\n' "sum of 20 single runs" "$SUM"
printf '%-34s %8s s  %s x the sum\n' "pack .zip -j 1" "$J1" "$(ratio "$J1" "$SUM")"
printf '%-34s %8s s  %s x the sum\n' "pack .zip -j 2" "$J2" "$(ratio "$J2" "$SUM")"
printf '%-34s %8s s  %s x the .zip\n' "pack folder -j 2" "$F2" "$(ratio "$F2" "$J2")"
