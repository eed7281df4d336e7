#!/bin/sh
# The splash window under Xvfb (1920x1080x24) and Wine's X11 driver.
#   window:       display mode (no arguments): the window sits 10 pixels from the
#                 bottom-right corner, its pixels carry the image's alpha, the screen
#                 shows the caption and the dark square there, and a mouse drag moves it.
#   request-mode: a host-started server with a display answers byte for byte as
#                 one without (module addresses aside).
# Needs Xvfb, xwd, xdotool, ImageMagick's convert and od. Every wait is bounded and
# everything started here is ended on exit.
# Usage: splash-display-test.sh window|request-mode BIN WINE-RUN WINE WINESERVER WORKDIR
set -u

mode=$1 bin=$2 wine_run=$3 wine=$4 wineserver=$5 work=$6
width=120 height=120
screen_width=1920 screen_height=1080
expected_x=$((screen_width - width - 10)) expected_y=$((screen_height - height - 10))

xvfb_pid= server_pid=
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    WINEPREFIX=$work/wineprefix "$wineserver" -k 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 1' INT TERM

rm -rf "$work/shots" "$work/display-number"
mkdir -p "$work/shots"

# Xvfb picks a free display number itself and writes it to the given descriptor.
Xvfb -displayfd 5 -noreset -nolisten tcp -screen 0 ${screen_width}x${screen_height}x24 \
    5>"$work/display-number" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
tries=0
while ! grep -q '[0-9]' "$work/display-number" 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -gt 100 ] && { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
    sleep 0.2
done
DISPLAY=:$(tr -d '\n' <"$work/display-number")
export DISPLAY

# The prefix's desktop must start with the display, or Wine keeps the screen size
# of its displayless driver.
# Without Mono and Gecko a new prefix asks for them; the server needs neither.
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
mkdir -p "$WINEPREFIX"
setsid "$wineserver" -p </dev/null >/dev/null 2>&1
timeout 240 setsid "$wine" wineboot </dev/null >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }

# $1 xwd dump, $2 index: the header's 32-bit big-endian field at that index.
xwd_field() {
    od -An -tu1 -j$(($2 * 4)) -N4 "$1" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}'
}

# $1 xwd dump: one line per pixel, "blue green red alpha", top row first.
xwd_pixels() {
    dump_width=$(xwd_field "$1" 4) dump_height=$(xwd_field "$1" 5)
    byte_order=$(xwd_field "$1" 7) bits_per_pixel=$(xwd_field "$1" 11)
    bytes_per_line=$(xwd_field "$1" 12)
    data=$(($(xwd_field "$1" 0) + $(xwd_field "$1" 19) * 12))
    if [ "$byte_order" != 0 ] || [ "$bits_per_pixel" != 32 ]; then
        echo "unexpected xwd layout: byte order $byte_order, $bits_per_pixel bits" >&2
        return 1
    fi
    od -An -v -tu1 -w"$bytes_per_line" -j$data -N$((bytes_per_line * dump_height)) "$1" |
        awk -v w="$dump_width" '{for (x = 0; x < w; ++x) print $(4*x+1), $(4*x+2), $(4*x+3), $(4*x+4)}'
}

# $1 pixel lines, $2 x, $3 y, $4 image width: "blue green red alpha" of that pixel.
pixel() {
    sed -n "$(($3 * $4 + $2 + 1))p" "$1"
}

wait_for_window() {
    tries=0
    while :; do
        window=$(xdotool search --name '^Marlowind Scan Server$' 2>/dev/null | head -n 1)
        [ -n "$window" ] && return 0
        tries=$((tries + 1))
        [ $tries -gt 240 ] && return 1
        sleep 0.25
    done
}

# Prints "x y" of the window's top-left corner on the screen.
window_position() {
    xdotool getwindowgeometry --shell "$1" | awk -F= '$1 == "X" {x = $2} $1 == "Y" {y = $2}
        END {print x, y}'
}

# $1 expected "x y": waits until the window is there, since Wine moves it asynchronously.
wait_for_position() {
    tries=0
    while [ "$(window_position "$window")" != "$1" ]; do
        tries=$((tries + 1))
        [ $tries -gt 40 ] && return 1
        sleep 0.25
    done
}

test_window() {
    "$wine" "$bin/ScanServer-x64.exe" >"$work/server.out" 2>&1 </dev/null &
    server_pid=$!
    wait_for_window || { fail "no window named \"Marlowind Scan Server\" appeared"; return; }

    geometry=$(xdotool getwindowgeometry --shell "$window" |
        awk -F= '$1 == "WIDTH" {w = $2} $1 == "HEIGHT" {h = $2} END {print w "x" h}')
    [ "$geometry" = "${width}x${height}" ] || fail "window size $geometry, expected ${width}x${height}"
    wait_for_position "$expected_x $expected_y" ||
        fail "window at $(window_position "$window"), expected $expected_x $expected_y"

    # The window's own pixels, as handed to the X server: premultiplied with per-pixel alpha.
    xwd -silent -id "$window" -out "$work/shots/window.xwd"
    xwd_pixels "$work/shots/window.xwd" >"$work/shots/window.txt" || { fail "window dump"; return; }
    [ "$(pixel "$work/shots/window.txt" 0 0 $width)" = "0 0 0 0" ] ||
        fail "top-left corner not transparent: $(pixel "$work/shots/window.txt" 0 0 $width)"
    [ "$(pixel "$work/shots/window.txt" 119 119 $width)" = "0 0 0 0" ] ||
        fail "bottom-right corner not transparent: $(pixel "$work/shots/window.txt" 119 119 $width)"
    # The dark square (28, 30, 38) at alpha 179, premultiplied.
    [ "$(pixel "$work/shots/window.txt" 4 60 $width)" = "26 21 19 179" ] ||
        fail "dark square pixel is $(pixel "$work/shots/window.txt" 4 60 $width), expected 26 21 19 179"
    [ "$(pixel "$work/shots/window.txt" 8 84 $width)" = "255 255 255 255" ] ||
        fail "caption pixel is $(pixel "$work/shots/window.txt" 8 84 $width), expected opaque white"

    # What the screen shows at the window's place.
    xwd -silent -root -out "$work/shots/screen.xwd"
    convert "$work/shots/screen.xwd" "$work/shots/screen.png"
    convert "$work/shots/screen.xwd" -crop ${width}x${height}+$expected_x+$expected_y +repage \
        -depth 8 rgb:- | od -An -v -tu1 -w3 >"$work/shots/screen.txt"
    caption=$(awk -v w=$width 'NR > w * 82 && NR <= w * 100 && $1 >= 200 && $2 >= 200 && $3 >= 200 {n++}
        END {print n + 0}' "$work/shots/screen.txt")
    [ "$caption" -ge 100 ] || fail "only $caption white pixels in the caption band on screen"
    set -- $(sed -n "$((60 * width + 4 + 1))p" "$work/shots/screen.txt")
    [ "$1" -le 60 ] && [ "$2" -le 60 ] && [ "$3" -le 60 ] ||
        fail "dark square shows $* on screen"

    # Pressed anywhere, the window is moved by Windows' own caption dragging.
    start_x=$((expected_x + 60)) start_y=$((expected_y + 60))
    xdotool mousemove $start_x $start_y mousedown 1 mousemove $((start_x - 20)) $((start_y - 20)) \
        mousemove $((start_x - 250)) $((start_y - 210)) mouseup 1
    wait_for_position "$((expected_x - 250)) $((expected_y - 210))" ||
        fail "dragged window at $(window_position "$window"), expected $((expected_x - 250)) $((expected_y - 210))"
}

# $1 transcript: the same with the varying module addresses masked.
masked() {
    sed 's/module [0-9A-F]\{16\}/module <address>/' "$1"
}

test_request_mode() {
    windows_bin="Z:$(echo "$bin" | tr / '\\')"
    set -- "$windows_bin\\ScanServer-x64.exe" "$windows_bin\\plugins\\effect.dll" \
        "$windows_bin\\plugins\\shell.dll" "$windows_bin\\plugins\\shell.dll>00000007"
    timeout 120 "$wine" "$bin/test-host.exe" "$@" >"$work/with-display.out" 2>"$work/with-display.err" \
        </dev/null || fail "test-host with a display failed"
    timeout 120 env DISPLAY= "$wine_run" "$bin/test-host.exe" "$@" >"$work/without-display.out" \
        2>"$work/without-display.err" </dev/null || fail "test-host without a display failed"
    grep -q '^exit code: 0' "$work/with-display.err" || fail "server with a display: $(cat "$work/with-display.err")"
    [ "$(grep -c '^ready:' "$work/with-display.out")" = 4 ] || fail "expected 4 ready: prompts"
    [ "$(grep -c '^>:{' "$work/with-display.out")" = 3 ] || fail "expected 3 reports"
    masked "$work/with-display.out" >"$work/with-display.masked"
    masked "$work/without-display.out" >"$work/without-display.masked"
    cmp -s "$work/with-display.masked" "$work/without-display.masked" || {
        fail "answers differ with and without a display"
        diff "$work/with-display.masked" "$work/without-display.masked"
    }
}

case "$mode" in
window) test_window ;;
request-mode) test_request_mode ;;
*) echo "unknown mode $mode"; exit 2 ;;
esac

[ $failures -eq 0 ] && echo "PASS: $mode" && exit 0
exit 1
