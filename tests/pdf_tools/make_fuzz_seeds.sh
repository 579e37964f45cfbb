#!/bin/sh
# Makes the small seed files of the JPEG scanner's fuzz target: a PDF from img2pdf and a
# hand-built one with CR/LF around the data, a non-JPEG stream and a JPEG cut short.
# Needs ImageMagick and img2pdf. Usage: tests/pdf_tools/make_fuzz_seeds.sh
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out="$root/tests/fuzz/seeds/fuzz_jpeg_scan"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

convert -size 8x6 gradient:red-blue -type TrueColor -quality 50 -strip "$tmp/a.jpg"
convert -size 5x9 gradient:yellow-green -type TrueColor -quality 50 -strip "$tmp/b.jpg"
img2pdf "$tmp/a.jpg" "$tmp/b.jpg" -o "$out/img2pdf.pdf"

{
    printf '%%PDF-1.4\n1 0 obj\n<< /Length 4 >>\nstream\r\nx\x9c\x03\x00\r\nendstream\nendobj\n'
    printf '2 0 obj\n<< /Filter /DCTDecode >>\nstream\r\n'
    cat "$tmp/a.jpg"
    printf '\r\nendstream\nendobj\n3 0 obj\nstream\n'
    head -c 40 "$tmp/b.jpg"
    printf '\n%%%%EOF\n'
} > "$out/handmade.pdf"
ls -l "$out"
