#!/usr/bin/env bash
# Runs a command under a display server of its own: with_display.sh WxHxDEPTH COMMAND [ARG...].
# The server picks a free display number itself and says which (-displayfd), so that runs side
# by side, of this suite or another, never take each other's display. The server ends with the
# command, whose status is the script's.
set -euo pipefail
screen=$1
shift
work=$(mktemp -d)
server=
command=
cleanup() {
  for process in $command $server; do
    kill "$process" 2>/dev/null || true
    wait "$process" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

# The server listens on the abstract socket as well as on the one in /tmp: a client tries the
# abstract one first, and that namespace is the machine's, shared across a chroot. Holding the
# name there makes the server pass over a number that a server outside already answers on, where
# a client of this one would otherwise reach that one and be refused.
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" 2>"$work/server.log" &
server=$!
# The number is written, with a line break, once the server accepts clients.
for _ in $(seq 200); do
  if grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null; then break; fi
  if ! kill -0 "$server" 2>/dev/null; then
    echo "with_display.sh: the display server ended before it was ready:" >&2
    cat "$work/server.log" >&2
    exit 1
  fi
  sleep 0.1
done
if ! grep -q '^[0-9][0-9]*$' "$work/display"; then
  echo "with_display.sh: the display server gave no display number within 20 s" >&2
  exit 1
fi
DISPLAY=:$(cat "$work/display")
export DISPLAY
# In the background, so that a signal to this script (a test's time running out) is acted on at
# once and ends the command and the server with it.
"$@" <&0 &
command=$!
status=0
wait "$command" || status=$?
command=
exit "$status"
