#!/bin/sh
# Images to PDF under Wine on 20 photos of 12 megapixels (4000 x 3000 gradient and noise JPEGs, made
# once with ImageMagick and kept in the build folder), against ImageMagick's
# `convert <photos> -quality 85 out.pdf` on the same files. Prints seconds per page for both, the
# ratio, our process's peak memory and convert's peak resident size.
# Usage: scripts/bench_pdf_wine.sh [Windows build folder, default build/windows] [runs, default 3]
#
# Debian's ImageMagick policy forbids writing PDF. convert gets a private policy that allows it,
# through MAGICK_CONFIGURE_PATH; where the system file still wins (ImageMagick 6 reads
# it after ours), the private one is bound over it inside a mount namespace of convert's own. The
# system file is never changed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$root" && mkdir -p "${1:-build/windows}" && cd "${1:-build/windows}" && pwd)
runs=${2:-3}
count=20

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target winbench_pdf >/dev/null

photos="$build/bench-photos"
mkdir -p "$photos"
i=1
while [ "$i" -le "$count" ]; do
    photo=$(printf '%s/photo-%02d.jpg' "$photos" "$i")
    [ -f "$photo" ] || convert -size 4000x3000 -seed "$i" "gradient:#3060a0-#e0c080" -attenuate 0.4 \
        +noise Gaussian -quality 92 "$photo"
    i=$((i + 1))
done
rm -f "$photos"/*-merged*.pdf

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- ours, under Wine: the program times the action itself, without Wine's start-up.
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
folder=$(winepath -w "$photos")
: > "$tmp/ours"
i=0
while [ "$i" -lt "$runs" ]; do
    wine "$build/winbench_pdf.exe" "$folder" > "$tmp/run" || { cat "$tmp/run"; exit 1; }
    cat "$tmp/run" >> "$tmp/ours"
    i=$((i + 1))
done

# --- ImageMagick on the same files.
policy=$(convert -list policy | sed -n 's/^Path: \(\/.*policy\.xml\)$/\1/p' | head -n 1)
mkdir "$tmp/magick"
# Only the PDF coder is named: the system file's caps on memory and disk cache would make convert
# give up on 20 photos of 12 megapixels, which it holds in memory all at once.
printf '<policymap>\n  <policy domain="coder" rights="read|write" pattern="PDF" />\n</policymap>\n' \
    > "$tmp/magick/policy.xml"
export MAGICK_CONFIGURE_PATH="$tmp/magick"
with_private_policy() {
    if [ -n "$policy" ] && [ "$(id -u)" = 0 ] && command -v unshare >/dev/null; then
        unshare -m sh -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' sh "$tmp/magick/policy.xml" "$policy" "$@"
    else
        "$@"
    fi
}
probe="$photos/photo-01.jpg"
if ! MAGICK_CONFIGURE_PATH="$tmp/magick" convert "$probe" -quality 85 "$tmp/probe.pdf" 2>/dev/null; then
    use_namespace=1
    with_private_policy convert "$probe" -quality 85 "$tmp/probe.pdf" || { echo "convert cannot write PDF here"; exit 1; }
else
    use_namespace=0
fi
: > "$tmp/theirs"
i=0
while [ "$i" -lt "$runs" ]; do
    start=$(date +%s.%N)
    if [ "$use_namespace" = 1 ]; then
        with_private_policy /usr/bin/time -f "peak_rss_kb %M" -o "$tmp/time" convert "$photos"/photo-*.jpg -quality 85 "$tmp/out.pdf"
    else
        /usr/bin/time -f "peak_rss_kb %M" -o "$tmp/time" convert "$photos"/photo-*.jpg -quality 85 "$tmp/out.pdf"
    fi
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "seconds %.3f\n", b - a }' >> "$tmp/theirs"
    cat "$tmp/time" >> "$tmp/theirs"
    i=$((i + 1))
done
convertPages=$(pdfinfo "$tmp/out.pdf" 2>/dev/null | awk '/^Pages:/ { print $2 }')

awk -v count="$count" -v runs="$runs" -v convertPages="$convertPages" -v oursFile="$tmp/ours" -v theirsFile="$tmp/theirs" '
    function best(file, key,   line, f, v, b) {
        b = -1
        while ((getline line < file) > 0) { split(line, f, " "); if (f[1] == key) { v = f[2] + 0; if (b < 0 || v < b) b = v } }
        close(file)
        return b
    }
    function worst(file, key,   line, f, v, w) {
        w = 0
        while ((getline line < file) > 0) { split(line, f, " "); if (f[1] == key && f[2] + 0 > w) w = f[2] + 0 }
        close(file)
        return w
    }
    BEGIN {
        ours = best(oursFile, "seconds") / count
        theirs = best(theirsFile, "seconds") / count
        printf "images to PDF, %d photos of 4000x3000, best of %d runs\n", count, runs
        printf "ours under Wine:         %7.3f s per page (%.2f s in all), output %.1f MB\n", ours, ours * count, best(oursFile, "output_mb")
        printf "ImageMagick convert:     %7.3f s per page (%.2f s in all, %s pages in its PDF)\n", theirs, theirs * count, convertPages
        printf "ratio (convert / ours):  %7.2f\n", theirs / ours
        printf "our peak working set:    %7.1f MB (peak pagefile usage %.1f MB)\n", worst(oursFile, "peak_working_set_mb"), worst(oursFile, "peak_pagefile_mb")
        printf "convert peak resident:   %7.1f MB\n", worst(theirsFile, "peak_rss_kb") / 1024
    }'
