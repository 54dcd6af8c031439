#!/bin/bash
# Draws the settings window's icons with ImageMagick. Each .ico holds a 16 and
# a 32 pixel image with transparency (the window icon also 48). Shapes are
# drawn at each size directly, on whole pixels, so they stay sharp at 16.
#   window.ico      a blue globe (the window and the text prompts)
#   info.ico        a white "i" on a blue disc
#   statistics.ico  three bars on a base line
#   directory.ico   a yellow folder
#   settings.ico    a grey cog wheel
#   log.ico         a page with coloured lines
#   start.ico       a green "play" triangle
#   stop.ico        a red square
#   download.ico    a blue arrow pointing down onto a line (a downloaded file)
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# $1 size, prints n*size/32 rounded, at least 1
at() { local v=$(( ($2 * $1 + 16) / 32 )); [ "$v" -lt 1 ] && v=1; echo "$v"; }

draw_window() {
  local s=$1
  local m=$(( s - 1 )) c=$(( s / 2 )) e
  e=$(at "$s" 7)
  # Latitude lines only where there is room for them.
  local latitudes=()
  if [ "$s" -ge 32 ]; then
    latitudes=(-draw "line $(at "$s" 5),$(at "$s" 10) $(( m - $(at "$s" 5) )),$(at "$s" 10)"
               -draw "line $(at "$s" 5),$(( m - $(at "$s" 10) )) $(( m - $(at "$s" 5) )),$(( m - $(at "$s" 10) ))")
  fi
  convert -size ${s}x${s} xc:none -strokewidth "$(at "$s" 2)" \
    -fill '#2f7fd8' -stroke '#174a8a' -draw "circle $c,$c $c,0" \
    -fill none -stroke white -strokewidth 1 \
    -draw "ellipse $c,$c $e,$(( c - 1 )) 0,360" \
    -draw "line $c,1 $c,$(( m - 1 ))" \
    -draw "line 1,$c $(( m - 1 )),$c" \
    "${latitudes[@]}" \
    "$work/window$s.png"
}

draw_info() {
  local s=$1
  local c=$(( s / 2 ))
  convert -size ${s}x${s} xc:none \
    -fill '#2f7fd8' -stroke '#174a8a' -draw "circle $c,$c $c,0" -stroke none -fill white \
    -draw "rectangle $(at "$s" 14),$(at "$s" 6) $(( $(at "$s" 18) - 1 )),$(( $(at "$s" 10) - 1 ))" \
    -draw "rectangle $(at "$s" 14),$(at "$s" 13) $(( $(at "$s" 18) - 1 )),$(( $(at "$s" 26) - 1 ))" \
    "$work/info$s.png"
}

draw_statistics() {
  local s=$1
  local base=$(( s - 1 - $(at "$s" 2) ))
  convert -size ${s}x${s} xc:none -stroke '#333333' -strokewidth 1 \
    -fill '#3cb043' -draw "rectangle $(at "$s" 3),$(at "$s" 16) $(at "$s" 10),$base" \
    -fill '#f0a020' -draw "rectangle $(at "$s" 12),$(at "$s" 6) $(at "$s" 19),$base" \
    -fill '#2f7fd8' -draw "rectangle $(at "$s" 21),$(at "$s" 11) $(at "$s" 28),$base" \
    -stroke '#333333' -draw "line 0,$base $(( s - 1 )),$base" \
    "$work/statistics$s.png"
}

draw_directory() {
  local s=$1
  local m=$(( s - 1 ))
  convert -size ${s}x${s} xc:none -stroke '#9a6a00' -strokewidth 1 \
    -fill '#e0a800' -draw "polygon 0,$(at "$s" 5) $(at "$s" 11),$(at "$s" 5) $(at "$s" 14),$(at "$s" 8) $m,$(at "$s" 8) $m,$(at "$s" 27) 0,$(at "$s" 27)" \
    -fill '#ffd75e' -draw "polygon 0,$(at "$s" 12) $m,$(at "$s" 12) $m,$(at "$s" 27) 0,$(at "$s" 27)" \
    "$work/directory$s.png"
}

draw_settings() {
  local s=$1 c r t w hole
  c=$(awk "BEGIN{print ($s - 1) / 2}")
  r=$(awk "BEGIN{print $s * 0.47}")
  t=$(awk "BEGIN{print $s * 0.30}")
  w=$(awk "BEGIN{print $s * 0.09}")
  hole=$(awk "BEGIN{print $c + $s * 0.13}")
  local teeth=""
  for a in 0 45 90 135; do
    teeth+=" -draw \"translate $c,$c rotate $a rectangle -$w,-$r $w,$r\""
  done
  eval convert -size ${s}x${s} xc:none -fill "'#6b7580'" -stroke none "$teeth" \
    -fill "'#6b7580'" -stroke "'#3d434a'" -draw "\"circle $c,$c $c,$(awk "BEGIN{print $c - $t}")\"" \
    -fill white -stroke "'#3d434a'" -draw "\"circle $c,$c $c,$hole\"" \
    "$work/settings$s.png"
}

draw_log() {
  local s=$1 l r y
  l=$(at "$s" 4)
  r=$(( s - 1 - $(at "$s" 4) ))
  local lines=""
  local colours=('#2f7fd8' '#3cb043' '#d83030' '#2f7fd8' '#333333')
  local i=0
  for y in 8 12 16 20 24; do
    lines+=" -stroke '${colours[$i]}' -draw \"line $(( l + $(at "$s" 4) )),$(at "$s" $y) $(( r - $(at "$s" 4) )),$(at "$s" $y)\""
    i=$(( i + 1 ))
  done
  eval convert -size ${s}x${s} xc:none -strokewidth "$(at "$s" 2)" \
    -fill white -stroke "'#555555'" -strokewidth 1 \
    -draw "\"rectangle $l,$(at "$s" 2) $r,$(( s - 1 - $(at "$s" 2) ))\"" \
    -strokewidth "$(at "$s" 2)" "$lines" \
    "$work/log$s.png"
}

draw_start() {
  local s=$1
  convert -size ${s}x${s} xc:none -fill '#2ca02c' -stroke '#1a6b1a' -strokewidth 1 \
    -draw "polygon $(at "$s" 7),$(at "$s" 3) $(at "$s" 28),$(( s / 2 )) $(at "$s" 7),$(( s - 1 - $(at "$s" 3) ))" \
    "$work/start$s.png"
}

draw_stop() {
  local s=$1
  convert -size ${s}x${s} xc:none -fill '#d83030' -stroke '#8a1a1a' -strokewidth 1 \
    -draw "rectangle $(at "$s" 4),$(at "$s" 4) $(( s - 1 - $(at "$s" 4) )),$(( s - 1 - $(at "$s" 4) ))" \
    "$work/stop$s.png"
}

draw_download() {
  local s=$1
  local c=$(( s / 2 )) base=$(( s - 1 - $(at "$s" 2) ))
  convert -size ${s}x${s} xc:none -fill '#2f7fd8' -stroke '#174a8a' -strokewidth 1 \
    -draw "polygon $(( c - $(at "$s" 4) )),$(at "$s" 2) $(( c + $(at "$s" 4) - 1 )),$(at "$s" 2) $(( c + $(at "$s" 4) - 1 )),$(at "$s" 13) $(( s - 1 - $(at "$s" 5) )),$(at "$s" 13) $c,$(( base - $(at "$s" 4) )) $(at "$s" 5),$(at "$s" 13) $(( c - $(at "$s" 4) )),$(at "$s" 13)" \
    -stroke '#333333' -draw "line $(at "$s" 3),$base $(( s - 1 - $(at "$s" 3) )),$base" \
    "$work/download$s.png"
}

for name in info statistics directory settings log start stop download; do
  for size in 16 32; do "draw_$name" "$size"; done
  convert "$work/${name}16.png" "$work/${name}32.png" "$name.ico"
done
for size in 16 32 48; do draw_window "$size"; done
convert "$work/window16.png" "$work/window32.png" "$work/window48.png" window.ico

# A sheet of every image, four times enlarged, for looking at them.
if [ "${1:-}" = "--preview" ] && [ -n "${2:-}" ]; then
  montage -background '#d8d8d8' -geometry +6+6 -filter point \
    $(for n in window info statistics directory settings log start stop download; do
        echo "$work/${n}16.png" "$work/${n}32.png"; done) \
    -resize 400% "$2"
fi
