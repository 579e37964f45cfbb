#!/bin/sh
# Makes the small seed files of the PDF fuzz targets.
#   fuzz_jpeg_scan: a PDF from img2pdf; a hand-built one with CR/LF around the data, a non-JPEG
#     stream and a JPEG cut short; one whose pages carry /Thumb thumbnails and whose JPEG holds
#     "endstream" in a comment and bytes after its end, with a direct /Length.
#   fuzz_pdf_roundtrip: real small JPEG files: gray, progressive RGB, Adobe CMYK, one with
#     "endstream" in a comment and one with bytes after its end marker.
# Needs ImageMagick and img2pdf. Usage: tests/pdf_tools/make_fuzz_seeds.sh
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
scan="$root/tests/fuzz/seeds/fuzz_jpeg_scan"
roundtrip="$root/tests/fuzz/seeds/fuzz_pdf_roundtrip"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$scan" "$roundtrip"

convert -size 8x6 gradient:red-blue -type TrueColor -quality 50 -strip "$tmp/a.jpg"
convert -size 5x9 gradient:yellow-green -type TrueColor -quality 50 -strip "$tmp/b.jpg"
img2pdf "$tmp/a.jpg" "$tmp/b.jpg" -o "$scan/img2pdf.pdf"

{
    printf '%%PDF-1.4\n1 0 obj\n<< /Length 4 >>\nstream\r\nx\x9c\x03\x00\r\nendstream\nendobj\n'
    printf '2 0 obj\n<< /Filter /DCTDecode >>\nstream\r\n'
    cat "$tmp/a.jpg"
    printf '\r\nendstream\nendobj\n3 0 obj\nstream\n'
    head -c 40 "$tmp/b.jpg"
    printf '\n%%%%EOF\n'
} > "$scan/handmade.pdf"

convert -size 7x5 gradient:white-black -colorspace Gray -quality 50 -strip "$roundtrip/gray.jpg"
convert -size 9x7 gradient:orange-navy -type TrueColor -interlace JPEG -quality 50 -strip "$roundtrip/progressive.jpg"
convert -size 6x6 gradient:cyan-magenta -colorspace CMYK -quality 50 -strip "$roundtrip/cmyk.jpg"
convert -size 8x6 gradient:red-blue -type TrueColor -quality 50 \
    -set comment "$(printf 'x\nendstream\nendobj\n9 0 obj\nstream\r\n')" "$roundtrip/comment.jpg"
{ cat "$tmp/a.jpg"; printf '\0\0trailer\r\nendstream\n'; } > "$roundtrip/trailing.jpg"

# The page's JPEG (with "endstream" inside and bytes after it) comes first, its thumbnail after.
page="$roundtrip/comment.jpg"
thumb="$tmp/b.jpg"
{
    printf '%%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n'
    printf '2 0 obj\n<< /Type /Pages /Count 1 /Kids [3 0 R] >>\nendobj\n'
    printf '3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 8 6] /Resources << /XObject << /Im0 5 0 R >> >> /Thumb 6 0 R >>\nendobj\n'
    printf '5 0 obj\n<< /Subtype /Image /Filter /DCTDecode /Length %d >>\nstream\n' $(($(wc -c < "$page") + 7))
    cat "$page"
    printf 'garbage\nendstream\nendobj\n'
    printf '6 0 obj\n<< /Filter /DCTDecode /Length %d >>\nstream\r\n' "$(wc -c < "$thumb")"
    cat "$thumb"
    printf '\r\nendstream\nendobj\ntrailer\n<< /Root 1 0 R >>\n%%%%EOF\n'
} > "$scan/thumbnails.pdf"
ls -l "$scan" "$roundtrip"
