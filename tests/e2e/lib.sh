# Helpers for driving the real voruta.exe under Wine with xdotool.
# Needs DISPLAY, WINEPREFIX and a running wineserver (scripts/test sets them up).

e2e_fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to $2 seconds (default 10) for a window whose title matches $1
# (an anchored regular expression) and prints its id.
wait_window() {
  local pattern=$1 seconds=${2:-10} id
  local tries=$((seconds * 20))
  for _ in $(seq 1 "$tries"); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.05
  done
  return 1
}

# Waits until no visible window matches $1.
wait_gone() {
  local pattern=$1
  for _ in $(seq 1 200); do
    xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
    sleep 0.05
  done
  return 1
}

# Waits until the program has the keyboard focus (keys sent earlier are
# lost). Without a window manager the X focus may sit on the frame while
# Wine gives the keys to the active window ($1), so either counts.
wait_focus() {
  local focus name
  for _ in $(seq 1 100); do
    focus=$(xdotool getwindowfocus 2>/dev/null || true)
    name=$(xdotool getwindowname "$focus" 2>/dev/null || true)
    if [ "$focus" = "$1" ] || [[ "$name" == Voruta* ]]; then
      sleep 0.25
      return 0
    fi
    sleep 0.05
  done
  return 1
}

title_of() { xdotool getwindowname "$1" 2>/dev/null; }

# Waits until the frame's title is exactly $2.
expect_title() {
  local window=$1 want=$2 got=""
  for _ in $(seq 1 100); do
    got=$(title_of "$window")
    [ "$got" = "$want" ] && return 0
    sleep 0.05
  done
  e2e_fail "title is '$got', expected '$want'"
}

# Starts voruta.exe on a fresh drive mapped to a small tree and picks nothing
# yet. Sets app_pid, drive_letter, tree_dir.
start_program() {
  tree_dir=$(mktemp -d /tmp/voruta-e2e.XXXXXX)
  mkdir -p "$tree_dir/A/deep" "$tree_dir/B" "$tree_dir/C"
  fallocate -l 60M "$tree_dir/A/deep/a.bin"
  fallocate -l 30M "$tree_dir/B/b.bin"
  fallocate -l 10M "$tree_dir/C/c.bin"
  drive_letter=""
  for l in k l m n o p q r s t u v w x y; do
    if ln -sn "$tree_dir" "$WINEPREFIX/dosdevices/$l:" 2>/dev/null; then
      drive_letter=${l^^}
      break
    fi
  done
  [ -n "$drive_letter" ] || e2e_fail "no free drive letter"
  wine "$VORUTA_EXE" >/dev/null 2>&1 &
  app_pid=$!
  trap stop_program EXIT
}

stop_program() {
  if [ -n "${app_pid:-}" ] && kill -0 "$app_pid" 2>/dev/null; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
  fi
  [ -n "${drive_letter:-}" ] && rm -f "$WINEPREFIX/dosdevices/${drive_letter,,}:"
  [ -n "${tree_dir:-}" ] && rm -rf "$tree_dir"
  return 0
}

# Screen point of the chart's client area while the frame sits at the
# screen's top-left corner: below the menu and the tool bar.
view_x=6
view_y=68

# Waits up to $3 seconds (default 20) until column 0 of the chart whose
# client area starts at screen point ($1, $2) shows a box in the face
# colour: Wine's default, or the one of the scheme that the unit tests set
# for the session (tests/main.cpp). While a scan runs the view shows its
# background alone.
wait_chart() {
  local deadline=$((SECONDS + ${3:-20}))
  until region_has "$1" "$2" 90 90 "245,245,245" || region_has "$1" "$2" 90 90 "200,196,188"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Picks the test drive in the drive dialog, which opens within $1 seconds.
choose_drive() {
  local dialog
  dialog=$(wait_window '^ドライブ選択$' "$1") || e2e_fail "the drive dialog did not open"
  wait_focus "$dialog" || e2e_fail "the dialog never got the focus"
  xdotool type "${drive_letter,,}"
  xdotool key Return
  wait_gone '^ドライブ選択$' || e2e_fail "the dialog stayed open"
}

# Picks the test drive in the drive dialog that opens at start; prints the
# frame id as soon as the scan has begun (its title names the drive).
start_scan() {
  local frame
  choose_drive 20
  frame=$(wait_window "^Voruta - ${drive_letter}:\$" 20) || e2e_fail "no title of drive $drive_letter"
  echo "$frame"
}

# Picks the test drive and waits for its chart; prints the frame id.
pick_drive() {
  local frame
  frame=$(start_scan)
  wait_chart "$view_x" "$view_y" || e2e_fail "no chart of drive $drive_letter (pixel $(pixel $((view_x + 45)) $((view_y + 45))))"
  wait_focus "$frame" || true
  echo "$frame"
}

# The colour of screen pixel ($1, $2) as "r,g,b".
pixel() {
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
    sed -n '2p' | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1,\2,\3/'
}

# Frame geometry: sets frame_x, frame_y, frame_w, frame_h.
frame_geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1" | sed -E 's/^X=/frame_x=/; s/^Y=/frame_y=/; s/^WIDTH=/frame_w=/; s/^HEIGHT=/frame_h=/' | grep '^frame_')"
}

# A digest of the screen region W x H at (X, Y).
region_digest() {
  import -window root -crop "$3x$4+$1+$2" -depth 8 rgb:- 2>/dev/null | md5sum | cut -d' ' -f1
}

# True when the screen region W x H at (X, Y) holds colour "r,g,b" ($5).
region_has() {
  # grep -c reads everything: with pipefail, grep -q would break the pipe.
  import -window root -crop "$3x$4+$1+$2" -depth 8 txt:- 2>/dev/null | grep -c "($5)" >/dev/null
}
