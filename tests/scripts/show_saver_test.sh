#!/usr/bin/env bash
# scripts/show-saver (scripts/run's last step): the saver runs on the session's screen, Wayland or X, and on a
# machine without one it is shown on a private virtual screen, its floor saved and named in one line.
# Usage: show_saver_test.sh <scripts/show-saver> <folder with the built programs> <picture_compositor>
set -euo pipefail
script=$1 built=$2 compositor=$3
work=$(mktemp -d)
chmod 700 "$work"
compositor_pid=
finish() {
    if [[ -n $compositor_pid ]]; then kill "$compositor_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# A stand-in saver that says how it was started.
mkdir "$work/programs"
printf '#!/bin/sh\necho "ran $*"\n' > "$work/programs/Mirevo.scr"
chmod 700 "$work/programs/Mirevo.scr"

# A Wayland session: a compositor's socket there, no DISPLAY.
XDG_RUNTIME_DIR=$work "$compositor" show-0 > "$work/compositor.out" &
compositor_pid=$!
for _ in $(seq 1 2000); do [[ -S $work/show-0 ]] && break; sleep 0.01; done
said=$(env -u DISPLAY XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY=show-0 "$script" "$work/programs")
[[ $said == "ran /s" ]] || fail "in a Wayland session: $said"
said=$(env -u DISPLAY XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY="$work/show-0" "$script" "$work/programs" /c)
[[ $said == "ran /c" ]] || fail "in a Wayland session named by path: $said"
# An X session.
said=$(env -u WAYLAND_DISPLAY DISPLAY=:77 "$script" "$work/programs" /s)
[[ $said == "ran /s" ]] || fail "in an X session: $said"

# No screen at all: a name of a socket that is not there counts as none. The settings need a screen.
status=0
said=$(env -u DISPLAY XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY=gone-0 "$script" "$work/programs" /c 2>&1) || status=$?
[[ $status == 1 && $said == *"no screen here"* && $said != *$'\n'* ]] || fail "settings without a screen: $status $said"
# A saver run without one: shown on a virtual screen, its floor's picture named in one line.
said=$(env -u DISPLAY -u WAYLAND_DISPLAY TMPDIR="$work" "$script" "$built" 2> "$work/errors")
picture=${said##*its floor: }
[[ $said != *$'\n'* && $said == "scripts/run: no screen here"* && -s $picture ]] || fail "no screen: $said $(cat "$work/errors")"
[[ ! -s $work/errors ]] || fail "no screen, said on standard error: $(cat "$work/errors")"
if [[ -s $picture ]]; then
    # The floor in black space: black above it, the desktop's colours on it.
    size=$(identify -format '%wx%h' "$picture")
    top=$(convert "$picture" -crop 640x20+0+0 -resize 1x1! -format '%[fx:int(255*mean)]' info:)
    middle=$(convert "$picture" -crop 200x100+220+300 -resize 1x1! -format '%[fx:int(255*mean)]' info:)
    [[ $size == 640x480 ]] || fail "picture size $size"
    (( top < 10 && middle > 40 )) || fail "no floor in the picture: top $top, middle $middle"
fi

exit $failed
