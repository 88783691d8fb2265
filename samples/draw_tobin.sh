#!/bin/bash
# Draws the sample character's animations: Tobin, a round-headed figure, in small animated GIFs of
# a few frames each, all 96 x 96 pixels, from simple shapes with ImageMagick. The GIFs are
# committed in samples/Tobin/ beside the definition; run this again after changing a drawing:
#     bash samples/draw_tobin.sh
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/Tobin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# frame FILE DY LEFT_HAND RIGHT_HAND EYES MOUTH [EXTRA_DRAW...]
#   DY moves the head and shoulders down (a bow); a hand is "x,y", where the arm ends; EYES is
#   open, half or shut; MOUTH is smile, open, wide or flat; EXTRA_DRAW are further -draw strings.
frame() {
    local file=$1 dy=$2 left=$3 right=$4 eyes=$5 mouth=$6
    shift 6
    local hy=$((30 + dy)) sy=$((54 + dy / 2))
    local eye_draw
    case $eyes in
        open) eye_draw="circle 42,$((hy - 2)) 44,$((hy - 2)) circle 54,$((hy - 2)) 56,$((hy - 2))" ;;
        half) eye_draw="ellipse 43,$((hy - 2)) 2,1 0,360 ellipse 53,$((hy - 2)) 2,1 0,360" ;;
        shut) eye_draw="line 40,$((hy - 2)) 45,$((hy - 2)) line 51,$((hy - 2)) 56,$((hy - 2))" ;;
    esac
    local mouth_draw
    case $mouth in
        smile) mouth_draw="arc 42,$((hy + 2)) 54,$((hy + 8)) 20,160" ;;
        open) mouth_draw="ellipse 48,$((hy + 6)) 3,2 0,360" ;;
        wide) mouth_draw="ellipse 48,$((hy + 6)) 5,4 0,360" ;;
        flat) mouth_draw="line 44,$((hy + 6)) 52,$((hy + 6))" ;;
    esac
    local extras=()
    for draw in "$@"; do extras+=(-draw "$draw"); done
    convert -size 96x96 xc:'#eef4ff' \
        -stroke '#2b3a67' -strokewidth 3 -fill none \
        -draw "line 42,80 38,92 line 54,80 58,92" \
        -draw "line 38,$sy $left line 58,$sy $right" \
        -strokewidth 1 -fill '#3f7fd6' -draw "roundrectangle 36,$((sy - 6)) 60,82 6,6" \
        -fill '#f2b880' -draw "circle $left ${left%,*},$((${left#*,} - 3)) circle $right ${right%,*},$((${right#*,} - 3))" \
        -draw "circle 48,$hy 48,$((hy - 16))" \
        -fill '#7a4a21' -draw "ellipse 48,$((hy - 12)) 13,6 180,360" \
        -fill '#2b3a67' -draw "$eye_draw" \
        -fill none -strokewidth 2 -draw "$mouth_draw" \
        "${extras[@]}" \
        "$work/$file.png"
}

# gif NAME DELAY FRAME... : the frames (names of drawn frames) as an endless GIF, DELAY in
# hundredths of a second.
gif() {
    local name=$1 delay=$2
    shift 2
    local files=()
    for f in "$@"; do files+=("$work/$f.png"); done
    convert -delay "$delay" -loop 0 "${files[@]}" -layers Optimize "gif:$out/$name"
}

down=24,74
# Wave: the right hand swings over the head and back.
frame wave1 0 $down 70,40 open smile
frame wave2 0 $down 76,30 open smile
frame wave3 0 $down 78,20 open open
frame wave4 0 $down 72,12 open open
frame wave5 0 $down 64,10 open open
frame wave6 0 $down 72,12 open open
frame wave7 0 $down 78,20 open smile
frame wave8 0 $down 76,30 open smile
gif Wave 12 wave1 wave2 wave3 wave4 wave5 wave6 wave7 wave8

# Bow: head and shoulders go down and come up again.
for dy in 0 4 8 12; do frame bow$dy "$dy" 30,74 66,74 "$([ "$dy" -ge 8 ] && echo shut || echo open)" smile; done
gif Bow 15 bow0 bow4 bow8 bow12 bow8 bow4

# Greet: both arms open wide, twice.
frame greet1 0 $down 72,74 open smile
frame greet2 0 18,56 78,56 open open
frame greet3 0 14,40 82,40 open wide
gif Greet 15 greet1 greet2 greet3 greet2

# Idle: a slow breath.
frame idle1 0 $down 72,74 open smile
frame idle2 1 $down 72,75 open smile
frame idle3 2 $down 72,76 open smile
gif Idle 30 idle1 idle2 idle3 idle2

# Blink: the eyes close and open.
frame blink1 0 $down 72,74 open smile
frame blink2 0 $down 72,74 half smile
frame blink3 0 $down 72,74 shut smile
gif Blink 8 blink1 blink2 blink3 blink2 blink1

# Listen: a hand at the ear, sound arriving in arcs.
arc1="stroke #2b3a67 fill none arc 78,18 90,34 -60,60"
arc2="stroke #2b3a67 fill none arc 82,12 96,40 -60,60"
frame listen1 0 $down 66,30 open flat
frame listen2 0 $down 66,30 open flat "$arc1"
frame listen3 0 $down 66,30 open flat "$arc1" "$arc2"
gif Listen 20 listen1 listen2 listen3 listen2

# Mouth: the shapes the mouth takes while speaking.
for m in flat open wide smile; do frame mouth_$m 0 $down 72,74 open $m; done
gif Mouth 10 mouth_flat mouth_open mouth_wide mouth_open mouth_smile

# Speak: the mouth moves below a speech bubble.
bubble="stroke #2b3a67 fill white roundrectangle 62,4 92,22 5,5"
words="stroke none fill #2b3a67 rectangle 67,10 87,12 rectangle 67,15 80,17"
frame speak1 0 $down 76,62 open open "$bubble"
frame speak2 0 $down 76,62 open wide "$bubble" "$words"
frame speak3 0 $down 76,62 open flat "$bubble" "$words"
gif Speak 14 speak1 speak2 speak3 speak2

# Think: a hand at the chin, thought bubbles rising.
dot1="stroke #2b3a67 fill white circle 68,14 68,11"
dot2="stroke #2b3a67 fill white circle 76,8 76,4"
dot3="stroke #2b3a67 fill white ellipse 86,6 8,5 0,360"
frame think1 0 $down 52,42 half flat
frame think2 0 $down 52,42 half flat "$dot1"
frame think3 0 $down 52,42 half flat "$dot1" "$dot2"
frame think4 0 $down 52,42 half flat "$dot1" "$dot2" "$dot3"
gif Think 25 think1 think2 think3 think4
