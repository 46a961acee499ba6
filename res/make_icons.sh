#!/usr/bin/env bash
# Draws the program's icons (a page of hex cells) and writes res/*.ico.
# The .ico files are committed; run this only to change the drawing.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One page: grey address strip, green hex area with dark byte marks, orange edited byte.
page() { # size out
    local s=$1 out=$2 m=$(($1 / 16)) strip=$(($1 * 5 / 16))
    local draw="fill #DDDDDD rectangle 0,0 $((s - 1)),$((s - 1))"
    draw+=" fill #EEFFEE rectangle $strip,$m $((s - 1 - m)),$((s - 1 - m))"
    local rows=$(((s - 2 * m) / (2 * m + 1))) y x
    for ((r = 0; r < rows; r++)); do
        y=$((m + 1 + r * (2 * m + 1)))
        draw+=" fill #404040 rectangle 1,$y $((strip - 2)),$((y + m - 1))"
        for ((x = strip + 1; x + 2 * m <= s - 1 - m; x += 3 * m)); do
            draw+=" fill #206020 rectangle $x,$y $((x + 2 * m - 1)),$((y + m - 1))"
        done
    done
    y=$((m + 1 + (2 * m + 1)))
    draw+=" fill #FFAA55 rectangle $((strip + 1)),$y $((strip + 2 * m)),$((y + m - 1))"
    convert -size "${s}x${s}" xc:none -draw "stroke none $draw" \
        -fill none -stroke '#202020' -draw "rectangle 0,0 $((s - 1)),$((s - 1))" "$out"
}

page 32 "$tmp/p32.png"
page 16 "$tmp/p16.png"
convert "$tmp/p32.png" "$tmp/p16.png" kelmor.ico
convert "$tmp/p16.png" small.ico
# The Info dialog's icon: the page with a blue "i" badge.
convert "$tmp/p32.png" -stroke none -fill '#3060C0' -draw "circle 23,23 23,31" \
    -fill white -draw "rectangle 22,17 24,18" -draw "rectangle 22,20 24,28" info.ico
