#!/bin/sh
# Throughput of the PDF formats on a PDF of at least 200 MB made of noise JPEG pages of about
# 3.7 MB each (made here with ImageMagick), and `pdfimages -j` (poppler-utils) timed on the same
# file as the peer of the split. Prints rates in GB/s (10^9 bytes), ratios, and the split's peak
# memory as a multiple of the file's size (streaming pages vs copying them all out first).
# Usage: scripts/bench_pdf.sh [build folder, default build/native] [smallest PDF size in MB, default 200]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/native}
mb=${2:-200}
runs=5

cd "$root"
. scripts/bench_build.sh
build_bench_target "$build" bench_pdf

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/jpegs" "$tmp/pdfimages"
for i in 1 2 3 4; do
    convert -seed "$i" -size 1700x1300 xc: +noise Random -quality 92 "$tmp/jpegs/noise-$i.jpg"
done

TARVIX_BENCH_JPEGS="$tmp/jpegs" TARVIX_BENCH_PDF="$tmp/big.pdf" TARVIX_BENCH_MB="$mb" \
    "$build/bench_pdf" --benchmark_out="$tmp/bench.csv" --benchmark_out_format=csv

# pdfimages -j into an emptied folder, timed by wall clock; the mean of the runs.
: > "$tmp/pdfimages.times"
i=0
while [ "$i" -lt "$runs" ]; do
    rm -f "$tmp/pdfimages/"*
    start=$(date +%s.%N)
    pdfimages -j "$tmp/big.pdf" "$tmp/pdfimages/p"
    end=$(date +%s.%N)
    echo "$start $end" >> "$tmp/pdfimages.times"
    i=$((i + 1))
done
pages=$(ls "$tmp/pdfimages" | wc -l)
size=$(wc -c < "$tmp/big.pdf")

awk -v size="$size" -v pages="$pages" -v timesFile="$tmp/pdfimages.times" -F, '
    # real_time in milliseconds (all benchmarks use that unit) and the label, by benchmark name.
    NR > 1 && $1 ~ /^"BM_/ {
        name = $1; gsub(/"|\/real_time|\/iterations:[0-9]+/, "", name); ms[name] = $3
        label[name] = $8; gsub(/"|peak_over_file=/, "", label[name])
    }
    END {
        n = 0; sum = 0
        while ((getline line < timesFile) > 0) { split(line, t, " "); sum += t[2] - t[1]; n++ }
        pdfimagesMs = 1000 * sum / n
        gb = size / 1e9
        printf "\nPDF: %.1f MB, %d pages (pdfimages found %d)\n", size / 1e6, pages, pages
        printf "FindBytes \"endstream\" pass:          %6.2f GB/s  (memmem %.2f GB/s, ratio %.2fx)\n", \
            gb / (ms["BM_FindEndstream_FindBytes"] / 1000), gb / (ms["BM_FindEndstream_memmem"] / 1000), \
            ms["BM_FindEndstream_memmem"] / ms["BM_FindEndstream_FindBytes"]
        printf "ForEachJpegStream, stated lengths:    %8.3f ms\n", ms["BM_ForEachJpegStream"]
        printf "ForEachJpegStream, no lengths:        %6.2f GB/s\n", gb / (ms["BM_ForEachJpegStream_NoLengths"] / 1000)
        printf "ScanJpegStreams (pages copied out):   %6.2f GB/s\n", gb / (ms["BM_ScanJpegStreams"] / 1000)
        printf "split: read + scan + write pages:     %8.1f ms\n", ms["BM_SplitFileToJpegFiles"]
        printf "pdfimages -j (mean of %d runs):        %8.1f ms\n", n, pdfimagesMs
        printf "split vs pdfimages -j:                %6.2fx faster\n", pdfimagesMs / ms["BM_SplitFileToJpegFiles"]
        printf "split peak memory / file size:        %6.3f streaming, %.3f copying all pages\n", \
            label["BM_SplitPeakMemory_Streaming"], label["BM_SplitPeakMemory_Copying"]
        printf "WriteImagePdf vs copying the JPEGs:   %6.3f (time ratio; 1.0 = bound by the copy)\n", \
            ms["BM_WriteImagePdf"] / ms["BM_CopyJpegBytesOnly"]
    }' "$tmp/bench.csv"
