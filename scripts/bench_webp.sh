#!/bin/sh
# WebP encoding of a 12-megapixel photo (4000 x 3000, made here with ImageMagick): the program's
# encoder against Debian's `cwebp -q 85` on the same file, in the same run. Prints the time
# ratio (encoding only, as cwebp -v reports it, and cwebp's whole run by wall clock) and the
# size ratio; both near 1.0 mean the same library with nothing wasted around it.
# Usage: scripts/bench_webp.sh [build folder, default build/native]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/native}
runs=5

cd "$root"
. scripts/bench_build.sh
build_bench_target "$build" bench_webp

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Smooth areas, edges and grain, as in a photo; PPM so that neither side spends time decoding.
convert -size 1000x750 -seed 7 plasma:fractal -resize 4000x3000! -attenuate 0.3 +noise Gaussian \
    -depth 8 "$tmp/photo.ppm"

TARVIX_BENCH_PPM="$tmp/photo.ppm" "$build/bench_webp" --benchmark_out="$tmp/bench.csv" \
    --benchmark_out_format=csv >/dev/null

: > "$tmp/cwebp.times"
i=0
while [ "$i" -lt "$runs" ]; do
    start=$(date +%s.%N)
    cwebp -q 85 -v "$tmp/photo.ppm" -o "$tmp/cwebp.webp" 2> "$tmp/cwebp.log"
    end=$(date +%s.%N)
    encode=$(sed -n 's/^Time to encode picture: *\([0-9.]*\)s.*/\1/p' "$tmp/cwebp.log")
    echo "$start $end $encode" >> "$tmp/cwebp.times"
    i=$((i + 1))
done
cwebpBytes=$(wc -c < "$tmp/cwebp.webp")

awk -v cwebpBytes="$cwebpBytes" -v timesFile="$tmp/cwebp.times" -F, '
    # Google Benchmark CSV: the counters are columns of their own, found by their header names.
    $1 == "name" { for (i = 1; i <= NF; i++) { name = $i; gsub(/"/, "", name); col[name] = i } }
    NR > 1 && $1 ~ /^"BM_EncodeWebp/ { ms = $(col["real_time"]); bytes = $(col["bytes"]) }
    END {
        n = 0; wall = 0; enc = 0
        while ((getline line < timesFile) > 0) { split(line, t, " "); wall += t[2] - t[1]; enc += t[3]; n++ }
        wallMs = 1000 * wall / n; encMs = 1000 * enc / n
        printf "\nWebP, 12-megapixel photo, quality 85 (means of %d runs)\n", n
        printf "EncodeWebp:                    %8.1f ms, %d bytes\n", ms, bytes
        printf "cwebp -q 85, encoding (-v):    %8.1f ms, %d bytes\n", encMs, cwebpBytes
        printf "cwebp -q 85, whole run:        %8.1f ms (reads the PPM, writes the file)\n", wallMs
        printf "time ratio (ours / cwebp):     %8.3f encoding, %.3f whole run\n", ms / encMs, ms / wallMs
        printf "size ratio (ours / cwebp):     %8.4f\n", bytes / cwebpBytes
    }' "$tmp/bench.csv"
