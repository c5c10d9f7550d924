#!/bin/sh
# Window titles as the window system shows them, under a virtual X display:
# each program's main window and its error box carry exactly the captions the
# program gives them, with nothing appended by the toolkit.
#   window-titles.sh PROGRAM MAIN-TITLE [PROGRAM MAIN-TITLE ...]
set -u
fail=0

# Titles of all windows on the display, one per line, once one equals $1 (30 s at most).
titles_once() {
    i=0
    while [ $i -lt 300 ]; do
        t=$(xdotool search --name '.' getwindowname %@ 2>/dev/null)
        if printf '%s\n' "$t" | grep -qxF -- "$1"; then printf '%s\n' "$t"; return 0; fi
        sleep 0.1
        i=$((i + 1))
    done
    printf '%s\n' "$t"
    return 1
}

# run PROGRAM EXPECTED-TITLE BROKEN-SETTINGS(0|1)
run() {
    dir=$(mktemp -d)
    name=$(basename "$1")
    cp "$1" "$dir/"
    # A settings "file" that is a folder cannot be read: the program says so in an error box.
    [ "$3" = 1 ] && mkdir "$dir/$name.INI"
    "$dir/$name" >/dev/null 2>&1 &
    pid=$!
    if titles=$(titles_once "$2"); then
        if printf '%s\n' "$titles" | grep -q ' — '; then
            echo "FAIL $name: a title carries an appended name:"; printf '%s\n' "$titles"; fail=1
        else
            echo "ok   $name: \"$2\""
        fi
    else
        echo "FAIL $name: no window titled \"$2\"; titles seen:"; printf '%s\n' "$titles"; fail=1
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    rm -rf "$dir"
}

# A display of our own: Xvfb picks a free number itself and says which, so
# runs beside each other never race for one.
xdir=$(mktemp -d)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$xdir/display" 2>"$xdir/log" &
xpid=$!
trap 'kill $xpid 2>/dev/null; rm -rf "$xdir"' EXIT
i=0
while [ ! -s "$xdir/display" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
if [ ! -s "$xdir/display" ]; then echo "FAIL: Xvfb did not start"; cat "$xdir/log"; exit 1; fi
DISPLAY=":$(cat "$xdir/display")"
export DISPLAY
unset QT_QPA_PLATFORM
while [ $# -ge 2 ]; do
    run "$1" "$2" 0
    run "$1" "Ошибка" 1
    shift 2
done
exit $fail
