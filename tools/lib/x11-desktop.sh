# The desktop the screenshot scripts take their pictures on, sourced by them:
# a virtual X display (Xvfb) nobody else uses, with a real window manager
# (openbox), and the helpers that wait for a window by its title, press keys
# and crop a window with its frame into $out/NAME.png. start_desktop sets out
# (the pictures' folder), work (a scratch folder, removed on exit) and pids
# (the programs ended on exit, the last started first).

# Starts the display and the window manager; exports DISPLAY. $1: the folder
# of the pictures.
start_desktop() {
    out=$1
    mkdir -p "$out"
    work=$(mktemp -d)
    pids=()
    trap end_desktop EXIT
    # A display nobody uses.
    display=90
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    export DISPLAY=:$display
    Xvfb "$DISPLAY" -screen 0 1280x900x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done
    xdpyinfo > /dev/null 2>&1 || { cat "$work/xvfb.log"; echo "screenshots: no Xvfb" >&2; exit 1; }
    openbox > "$work/openbox.log" 2>&1 &
    pids+=($!)
    sleep 1
}

end_desktop() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2> /dev/null || true; done
    wait 2> /dev/null || true
    rm -rf "$work"
}

# Waits for a window whose title matches; prints its id.
window() {
    local id
    for _ in $(seq 300); do
        id=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | tail -n 1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "screenshots: no window '$1' (the screen is in $out/failed.png)" >&2
    import -window root "$out/failed.png"
    return 1
}
# Runs the keys (a command and its arguments) until a window whose title
# matches comes up: a key pressed while the focus moves can get lost.
open_window() {
    local title=$1 id
    shift
    for _ in 1 2 3; do
        "$@"
        for _ in $(seq 50); do
            id=$(xdotool search --onlyvisible --name "$title" 2> /dev/null | tail -n 1) || true
            [ -n "$id" ] && { echo "$id"; return 0; }
            sleep 0.1
        done
        xdotool key Escape
    done
    window "$title"
}
# The active window once its title matches (a dialog over one of the same title).
active() {
    local id
    for _ in $(seq 150); do
        id=$(xdotool getactivewindow 2> /dev/null) || true
        if [ -n "$id" ] && xdotool getwindowname "$id" | grep -q "$1" && [ "$id" != "${last:-}" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    echo "screenshots: no active window '$1'" >&2
    return 1
}
gone() {
    for _ in $(seq 300); do
        xdotool search --onlyvisible --name "$1" > /dev/null 2>&1 || return 0
        sleep 0.1
    done
    echo "screenshots: window '$1' stays" >&2
    return 1
}
# The window with its title bar and border, as the window manager framed it.
shoot() {
    local id=$1 name=$2 info extents left right top bottom x y w h
    sleep "${3:-0.6}"
    # xwininfo, not xdotool: the latter adds the frame's offset twice.
    info=$(xwininfo -id "$id")
    x=$(sed -n 's/.*Absolute upper-left X: *//p' <<< "$info")
    y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<< "$info")
    w=$(sed -n 's/^ *Width: *//p' <<< "$info")
    h=$(sed -n 's/^ *Height: *//p' <<< "$info")
    extents=$(xprop -id "$id" _NET_FRAME_EXTENTS 2> /dev/null | sed -n 's/.*= //p' | tr -d ' ')
    IFS=, read -r left right top bottom <<< "${extents:-0,0,0,0}"
    import -window root -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" \
        +repage "$out/$name.png"
    echo "$out/$name.png"
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }
