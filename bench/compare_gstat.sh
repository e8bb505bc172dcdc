#!/bin/sh
# Sorvan against R's gstat on the same data, model and grid: n = 2048 random
# points, ordinary kriging with the spherical model that SKU fitted, 100 x 100
# nodes, every datum for every node. Reports the time of the whole SKU call,
# the time of gstat's kriging alone, their ratio, and how far apart the two
# prediction grids are (in units of the predictions' standard deviation).
#
#   bench/compare_gstat.sh [BUILD_DIR] [--install] [n] [grid]
#   bench/compare_gstat.sh [BUILD_DIR] [--install] --local [n] [grid] [neighbours]
#
# --local compares local kriging instead: n = 10^5 points, 200 x 200 nodes,
# the 32 nearest data for every node, a given spherical model; the time is
# Sorvan's local kriging (search and solves) against gstat's krige with nmax.
#
# gstat is not needed by the build or the tests. When Rscript or gstat is
# missing the script says so and stops, unless --install is given (by hand,
# as root): then it installs Debian's r-cran-gstat with apt-get first.
set -eu
build=${1:-build-perf}
shift || true
install=no
if [ "${1:-}" = "--install" ]; then install=yes; shift; fi
local=no
if [ "${1:-}" = "--local" ]; then local=yes; shift; fi
if [ "$local" = yes ]; then n=${1:-100000}; grid=${2:-200}; neighbours=${3:-32}
else n=${1:-2048}; grid=${2:-100}; fi
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v Rscript >/dev/null 2>&1 || ! Rscript -e 'library(gstat)' >/dev/null 2>&1; then
  if [ "$install" = yes ]; then
    apt-get install -y --no-install-recommends r-cran-gstat r-cran-sp
  else
    echo "R with gstat is not installed; run by hand: $0 $build --install" >&2
    exit 0
  fi
fi

if [ "$local" = yes ]; then
  bench="$build/bench/local_kriging_bench"
  [ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target local_kriging_bench)" >&2; exit 1; }
  work=$(mktemp -d /tmp/compare_gstat_XXXXXX)
  trap 'rm -rf "$work"' EXIT
  "$bench" export "$work" "$n" "$grid" "$neighbours"
  Rscript "$here/compare_gstat_local.R" "$work" > "$work/gstat.txt"
  cat "$work/gstat.txt"
  sorvan=$(awk '$1 == "sorvan_seconds" {print $2}' "$work/model.txt")
  processor=$(awk '$1 == "sorvan_processor_seconds" {print $2}' "$work/model.txt")
  threads=$(awk '$1 == "threads" {print $2}' "$work/model.txt")
  gstat=$(awk '$1 == "gstat_seconds" {print $2}' "$work/gstat.txt")
  gstatProcessor=$(awk '$1 == "gstat_processor_seconds" {print $2}' "$work/gstat.txt")
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  awk -v s="$sorvan" -v p="$processor" -v g="$gstat" -v gp="$gstatProcessor" -v t="$threads" -v n="$n" -v m="$grid" -v k="$neighbours" -v l="$load" 'BEGIN {
    printf "n = %d, %d x %d nodes, %d neighbours (load average %s):\n", n, m, m, k, l
    printf "  Sorvan local kriging (%d threads, best of 3): wall %.3f s, processor %.3f s\n", t, s, p
    printf "  gstat krige nmax (1 thread): wall %.3f s, processor %.3f s\n", g, gp
    printf "  gstat / Sorvan: wall %.1f, processor %.1f\n", g / s, gp / p }'
  exit 0
fi

bench="$build/bench/kriging_speed_bench"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target kriging_speed_bench)" >&2; exit 1; }
work=$(mktemp -d /tmp/compare_gstat_XXXXXX)
trap 'rm -rf "$work"' EXIT

"$bench" export "$work" "$n" "$grid"
Rscript "$here/compare_gstat.R" "$work" > "$work/gstat.txt"
cat "$work/gstat.txt"
sku=$(awk '$1 == "sku_seconds" {print $2}' "$work/model.txt")
threads=$(awk '$1 == "threads" {print $2}' "$work/model.txt")
gstat=$(awk '$1 == "gstat_seconds" {print $2}' "$work/gstat.txt")
awk -v s="$sku" -v g="$gstat" -v t="$threads" -v n="$n" -v m="$grid" 'BEGIN {
  printf "n = %d, %d x %d nodes: Sorvan SKU (whole call, %d threads) %.3f s; gstat krige %.3f s; gstat / Sorvan = %.1f\n",
         n, m, m, t, s, g, g / s }'
