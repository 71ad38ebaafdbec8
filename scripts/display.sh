# Starts a private Xvfb and a wineserver for the caller and stops them again
# when the caller exits. Source it; it sets DISPLAY.
voruta_started_xvfb=""
start_private_display() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  voruta_started_xvfb=$!
  local number
  read -r -t 20 number <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$number"
}
start_wineserver() {
  # A wineserver first started from inside CTest or a pipe makes every test
  # slow; start it here, persistent, and warm it up once.
  wineserver -p >/dev/null 2>&1 || true  # already running is fine
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}
stop_display() {
  if [ -n "$voruta_started_xvfb" ]; then
    # Windows on the private display end with it, and so does their server.
    wineserver -k >/dev/null 2>&1 || true
    kill "$voruta_started_xvfb" 2>/dev/null || true
    wait "$voruta_started_xvfb" 2>/dev/null || true
    voruta_started_xvfb=""
  fi
}
