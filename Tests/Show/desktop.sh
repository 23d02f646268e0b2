#!/usr/bin/env bash
# The program on a real X server (Xvfb, SDL's x11 driver): it opens its
# window, plays 10 s of the show with music and ends on Escape sent through
# the window system, with status 0 and nothing on its error stream.
#   desktop.sh <program> <content folder> [program arguments...]
set -euo pipefail
program=$1
content=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$content"/. "$work"
cd "$work"

cat > run.sh <<'SCRIPT'
set -u
"$@" > out.txt 2> errors.txt &
pid=$!
# The title counts the show's seconds once the loading screen is gone.
shown=""
for _ in $(seq 600); do
  if ! kill -0 "$pid" 2> /dev/null; then
    echo "the program ended before 10 s of the show" >&2
    break
  fi
  shown=$(xdotool search --name '^[0-9.]+s$' getwindowname 2> /dev/null | head -n 1 || true)
  if [ -n "$shown" ] && awk -v t="${shown%s}" 'BEGIN { exit !(t >= 10) }'; then
    break
  fi
  sleep 0.1
done
echo "title: $shown"
# The window's size on the X server: the show's 640 x 480, or the whole
# screen in full screen.
expected="640x480"
case " $* " in *" -fullscreen "*) expected="1280x1024" ;; esac
eval "$(xdotool search --name '^[0-9.]+s$' getwindowgeometry --shell 2> /dev/null | grep -E '^(WIDTH|HEIGHT)=')"
size="${WIDTH:-0}x${HEIGHT:-0}"
echo "window: $size"
[ "$size" = "$expected" ] || echo "the window is $size, not $expected" >&2
# No window manager gives focus under Xvfb: take it, then press Escape.
timeout 30 xdotool search --sync --name '^[0-9.]+s$' windowfocus --sync key Escape || echo "no window to send Escape to" >&2
status=0
wait "$pid" || status=$?
echo "status: $status"
cat errors.txt >&2
[ "$status" -eq 0 ] && [ ! -s errors.txt ] && [ -n "$shown" ] && [ "$size" = "$expected" ]
SCRIPT

# The server picks a free display itself and reports it (-displayfd):
# xvfb-run -a guesses one from lock files and races with other servers that
# start at the same moment. Without -noreset the server resets whenever its
# last client leaves (each xdotool call below), and a program connecting
# just then is refused.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> display.txt 2> xvfb.txt &
server=$!
trap 'kill "$server" 2> /dev/null; wait "$server" 2> /dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -s display.txt ] && break
  sleep 0.1
done
[ -s display.txt ] || { cat xvfb.txt >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 display.txt)"
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
timeout 300 bash run.sh "$program" "$@"
