#!/bin/sh
# The GIF fixtures of gif_test.cpp, written by ImageMagick (run in this folder to make them again).
set -e
convert -size 9x7 xc:red -fill blue -draw "rectangle 2,2 5,4" two.gif
convert -seed 3 -size 12x9 plasma: -colors 16 c16.gif
convert -size 1x256 gradient: -rotate 90 -scale 256x3! c256.gif
convert -seed 6 -size 13x11 plasma: -colors 8 -interlace GIF interlaced.gif
convert -size 10x10 xc:red xc:lime xc:blue -loop 0 anim.gif
convert -dispose Background -size 10x10 xc:red \
    \( -size 4x4 xc:blue -alpha set -fill none -draw "color 1,1 point" -repage +3+3 \) \
    -loop 0 transparent2.gif
