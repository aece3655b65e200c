#!/usr/bin/env bash
# Runs a command on a private Xvfb display that lives as long as the command.
# The caller's display is never used: the tests send key events and write
# the clipboard, which must not reach whoever runs them.
set -u
unset DISPLAY XAUTHORITY WAYLAND_DISPLAY
export NO_AT_BRIDGE=1

work=$(mktemp -d "${TMPDIR:-/tmp}/nv_display.XXXXXX") || exit 1
mkfifo "$work/number" || exit 1
# Xvfb picks a free display number itself and writes it to the fifo once it
# accepts connections, so parallel runs never race for a number. -noreset:
# without it the server resets whenever its last client leaves, and a
# program started in that moment cannot open the display.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1600x1200x24 3>"$work/number" 2>"$work/xvfb.log" &
xvfb=$!
number=""
read -r -t 60 number <"$work/number" || true
if [ -z "$number" ]; then
  echo "with-display.sh: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  kill "$xvfb" 2>/dev/null
  rm -rf "$work"
  exit 1
fi
export DISPLAY=":$number"

child=""
stop() {
  [ -n "$child" ] && kill "$child" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap 'stop; exit 143' TERM INT HUP
"$@" &
child=$!
wait "$child"
rc=$?
child=""
stop
exit "$rc"
