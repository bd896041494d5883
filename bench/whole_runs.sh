#!/usr/bin/env bash
# Whole conversions against a durable copy of the same catalogue, as processes taken in turn:
# bench/whole_runs.sh BUILD_DIR RUNS LINES...  (default: build 9 100000 1000000 10000000).
# Each size is measured onto a new destination and over an existing one (a file of the same
# size, as a second conversion finds it), for the conversion and the copy alike. Before each run
# `sync` lets the machine settle, so that no run pays for the write-back of the one before.
# Prints per size and case the median wall time of each (the conversion's until its notice, as
# the user waits for it, which the program stamps itself, and until its process ended), the
# ratio of the medians and the median and range of the paired ratios (notice against copy), and
# the conversion's largest peak memory. The catalogues live in a temporary folder, removed at the
# end.
set -euo pipefail
usage() {
  echo "usage: bench/whole_runs.sh [BUILD_DIR [RUNS [LINES...]]]  (BUILD_DIR built with -DTESSARIL_BUILD_BENCH=ON)" >&2
  exit 2
}
build=${1:-build}
runs=${2:-9}
shift $(($# < 2 ? $# : 2))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000 10000000)
for number in "$runs" "${sizes[@]}"; do
  [[ $number =~ ^[1-9][0-9]*$ ]] || usage
done
[ -x "$build/bench/convert_file" ] && [ -x "$build/bench/make_catalogue" ] || usage
work=$(mktemp -d "${TMPDIR:-/tmp}/tessaril-whole-runs-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Seconds from $1 until $2, both in microseconds. The clock is the shell's own EPOCHREALTIME,
# read in place: a command substitution would time its own fork too.
since() {
  local elapsed=$(($2 - $1))
  printf '%d.%06d' $((elapsed / 1000000)) $((elapsed % 1000000))
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
range() { sort -g | awk 'NR == 1 { low = $1 } { high = $1 } END { printf "%s-%s", low, high }'; }

# Puts the destination of the next run in place, or takes it away, then lets the disk settle.
prepare() {
  rm -f "$2"
  [ "$1" = new ] || cp "$work/velmora-old.kat" "$2"
  sync
}

printf '%-10s %-9s %9s %9s %9s %9s %9s %13s %9s\n' lines dest notice_s exit_s dd_s ratio_med med_ratio ratio_range peak_KiB
for lines in "${sizes[@]}"; do
  "$build/bench/make_catalogue" "$work/velmora.kat" "$lines"
  "$build/bench/convert_file" "$work/velmora.kat" "$work/velmora-old.kat" >/dev/null 2>&1
  for case in new existing; do
    : >"$work/times"
    peak=0
    for _ in $(seq "$runs"); do
      prepare "$case" "$work/copy.kat"
      start=${EPOCHREALTIME/./}
      dd status=none bs=1M conv=fsync if="$work/velmora.kat" of="$work/copy.kat"
      end=${EPOCHREALTIME/./}
      dd_time=$(since "$start" "$end")
      rm -f "$work/copy.kat"
      prepare "$case" "$work/velmora-neu.kat"
      start=${EPOCHREALTIME/./}
      "$build/bench/convert_file" "$work/velmora.kat" "$work/velmora-neu.kat" >/dev/null 2>"$work/err"
      end=${EPOCHREALTIME/./}
      exit_time=$(since "$start" "$end")
      # Started as the copy is, without a pipe; the program tells when its notice came.
      notice_time=$(since "$start" "$(awk '/notice at/ { print $3 }' "$work/err")")
      memory=$(awk '/peak memory/ { print $3 }' "$work/err")
      rm -f "$work/velmora-neu.kat"
      [ "$memory" -gt "$peak" ] && peak=$memory
      echo "$notice_time $dd_time $exit_time" | awk '{ printf "%s %s %.4f %s\n", $1, $2, $1 / $2, $3 }' >>"$work/times"
    done
    convert_median=$(cut -d' ' -f1 "$work/times" | median)
    dd_median=$(cut -d' ' -f2 "$work/times" | median)
    printf '%-10s %-9s %9s %9s %9s %9.3f %9s %13s %9s\n' "$lines" "$case" "$convert_median" \
      "$(cut -d' ' -f4 "$work/times" | median)" "$dd_median" \
      "$(awk -v c="$convert_median" -v d="$dd_median" 'BEGIN { print c / d }')" \
      "$(cut -d' ' -f3 "$work/times" | median)" "$(cut -d' ' -f3 "$work/times" | range)" "$peak"
  done
  rm -f "$work/velmora.kat" "$work/velmora-old.kat"
done
