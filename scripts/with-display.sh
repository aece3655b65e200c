#!/usr/bin/env bash
# Runs a command with an X display: the current one, else a private Xvfb.
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1600x1200x24" "$@"
