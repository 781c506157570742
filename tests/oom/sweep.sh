#!/usr/bin/env bash
# Fails every allocation of a run in turn, one run per point, and checks that
# no run crashes, hangs or leaves the viewer impossible to close. Sweeps:
#   viewer, heaps   the Nth allocation of our heaps (the test hook)
#   viewer, malloc  the Nth malloc of the process (the LD_PRELOAD shim)
#   render, malloc  the same for kelpie-render
# --stride S tries every Sth point only (1, 1+S, ...); ctest uses a stride,
# scripts/oom-sweep the full sweep. --viewer or --render runs that program's
# sweeps only.
# Usage: sweep.sh [--stride S] [--viewer | --render] VIEWER_RUN KELPIE_RENDER SHIM SAMPLES_DIR
set -uo pipefail

stride=1
programs="viewer render"
while [ $# -gt 0 ]; do
  case "$1" in
    --stride) stride="$2" && shift 2 ;;
    --viewer) programs=viewer && shift ;;
    --render) programs=render && shift ;;
    *) break ;;
  esac
done
viewer="${1:?usage: sweep.sh [--stride S] [--viewer | --render] VIEWER_RUN KELPIE_RENDER SHIM SAMPLES_DIR}"
render="${2:?}"
shim="${3:?}"
card="${4:?}/testcard.scr"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

bad=0

# Classifies one run's exit code; the viewer's own codes are in viewer_run.cpp.
# Sets outcome to unaffected, degraded, refused, unclosable, hung or crashed.
# (A kelpie-render run that exits 0 with the wrong picture is "wrong".)
classify() { # kind code
  case "$1:$2" in
    *:124) outcome=hung ;;
    viewer:0 | render:0) outcome=unaffected ;;
    viewer:10) outcome=degraded ;;
    viewer:11 | render:1) outcome=refused ;;
    viewer:12) outcome=unclosable ;;
    *) outcome=crashed ;;
  esac
}

# sweep LABEL KIND POINTS COMMAND... ; each command sees the point as $point.
sweep() {
  local label="$1" kind="$2" points="$3"
  shift 3
  declare -A tally=([unaffected]=0 [degraded]=0 [refused]=0 [wrong]=0 [unclosable]=0 [hung]=0 [crashed]=0)
  local tried=0 failures=""
  for ((point = 1; point <= points; point += stride)); do
    rm -f "$work/out.png"
    "$@" >/dev/null 2>"$work/stderr"
    classify "$kind" "$?"
    # kelpie-render has no degraded mode: a picture other than the reference
    # written with exit code 0 is a failure reported as success.
    if [ "$kind" = render ] && [ "$outcome" = unaffected ] && ! cmp -s "$work/out.png" "$work/reference.png"; then
      outcome=wrong
    fi
    tally[$outcome]=$((tally[$outcome] + 1))
    tried=$((tried + 1))
    case "$outcome" in
      wrong | unclosable | hung | crashed)
        failures+=" $point:$outcome"
        if [ "${#failures}" -lt 200 ] && [ -s "$work/stderr" ]; then
          echo "  point $point: $(tail -n 2 "$work/stderr" | tr '\n' ' ' | cut -c1-300)"
        fi
        ;;
    esac
  done
  echo "$label: $points points, $tried tried (stride $stride): ${tally[unaffected]} unaffected," \
    "${tally[degraded]} degraded, ${tally[refused]} refused, ${tally[wrong]} wrong, ${tally[unclosable]} unclosable," \
    "${tally[hung]} hung, ${tally[crashed]} crashed"
  if [ -n "$failures" ]; then
    echo "FAIL: $label:$failures"
    bad=1
  fi
}

count_file="$work/count"
count_mallocs() { # command...
  KELPIE_ALLOCATION_COUNT="$count_file" LD_PRELOAD="$shim" "$@" >/dev/null 2>&1
  cat "$count_file"
}

if [[ " $programs " == *" viewer "* ]]; then
  heap_points="$("$viewer" "$card" --count)" || { echo "FAIL: the viewer does not run"; exit 1; }
  sweep "viewer, heaps" viewer "$heap_points" \
    eval 'timeout 60 "$viewer" "$card" --fail-heap $point'

  viewer_points="$(count_mallocs "$viewer" "$card")"
  sweep "viewer, malloc" viewer "$viewer_points" \
    eval 'KELPIE_FAIL_ALLOCATION=$point LD_PRELOAD="$shim" timeout 60 "$viewer" "$card"'
fi

if [[ " $programs " == *" render "* ]]; then
  "$render" "$card" "$work/reference.png" || { echo "FAIL: kelpie-render does not run"; exit 1; }
  render_points="$(count_mallocs "$render" "$card" "$work/counted.png")"
  sweep "render, malloc" render "$render_points" \
    eval 'KELPIE_FAIL_ALLOCATION=$point LD_PRELOAD="$shim" timeout 60 "$render" "$card" "$work/out.png"'
fi

exit "$bad"
