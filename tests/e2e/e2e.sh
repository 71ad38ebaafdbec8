#!/usr/bin/env bash
# End-to-end cases: the real voruta.exe under Wine, driven with xdotool as a
# user would drive it, checked by window titles and screen pixels.
#   e2e.sh CASE VORUTA_EXE
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/env.sh"
source "$here/lib.sh"
case_name=$1
export VORUTA_EXE=$2
[ -n "${DISPLAY:-}" ] || e2e_fail "no display (run through scripts/test)"

yellow="255,255,0"

# Presses the left button at ($1, $2), moves to ($3, $4) and lets go, at a
# pace the program's drag loop follows.
drag() {
  xdotool mousemove "$1" "$2"
  sleep 0.2
  xdotool mousedown 1
  sleep 0.2
  xdotool mousemove $((($1 + $3) / 2)) $((($2 + $4) / 2))
  sleep 0.2
  xdotool mousemove "$3" "$4"
  sleep 0.2
  xdotool mouseup 1
  sleep 0.5
}

click_at() {
  xdotool mousemove "$1" "$2" click 1
}

case "$case_name" in
startup)
  # The whole volume in column 0. A cold start may take seconds.
  start_program
  frame=$(pick_drive)
  ;;
navigation)
  start_program
  frame=$(pick_drive)
  root="${drive_letter}:\\"
  xdotool key Right
  expect_title "$frame" "Voruta - ${root}"
  click_at $((view_x + 150)) $((view_y + 20))
  expect_title "$frame" "Voruta - ${root}A\\"
  click_at $((view_x + 50)) $((view_y + 20))
  expect_title "$frame" "Voruta - ${root}"
  xdotool key Right
  expect_title "$frame" "Voruta - ${root}A\\"
  xdotool key Down
  expect_title "$frame" "Voruta - ${root}B\\"
  xdotool key Down Down
  expect_title "$frame" "Voruta - ${root}C\\"
  xdotool key Up
  expect_title "$frame" "Voruta - ${root}B\\"
  xdotool key Left
  expect_title "$frame" "Voruta - ${root}"
  xdotool key backslash
  expect_title "$frame" "Voruta - ${drive_letter}:"
  ;;
scan)
  # A scan of a few seconds: the frame is painted where the dialog was, keys
  # typed meanwhile are not acted on, and Escape ends the next scan.
  start_program
  mkdir -p "$tree_dir"/big/d{000..249}/e{00..99}
  dialog=$(wait_window '^ドライブ選択$' 20) || e2e_fail "the drive dialog did not open at start"
  wait_focus "$dialog" || e2e_fail "the dialog never got the focus"
  eval "$(xdotool getwindowgeometry --shell "$dialog" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  center_x=$((X + WIDTH / 2)) center_y=$((Y + HEIGHT / 2))
  xdotool type "${drive_letter,,}"
  xdotool key Return
  wait_gone '^ドライブ選択$' || e2e_fail "the dialog stayed open"
  # The title names the drive from the start; the view shows no box yet.
  # The scan lasts a second or two: every check below is made while it runs,
  # without waiting longer than it must.
  frame=$(wait_window "^Voruta - ${drive_letter}:\$" 1) || e2e_fail "the title does not name the drive scanned"
  deadline=$((SECONDS + 5))
  until seen=$(pixel "$center_x" "$center_y") && [[ "$seen" =~ ^(128,128,128|120,130,140)$ ]]; do
    [ "$SECONDS" -lt "$deadline" ] || e2e_fail "where the dialog was: $seen, not the chart's background"
    sleep 0.05
  done
  ! wait_chart "$view_x" "$view_y" 0 || e2e_fail "the scan ended too soon to test"
  xdotool key Right Right Down
  wait_chart "$view_x" "$view_y" 60 || e2e_fail "the scan did not end with the drive's chart"
  sleep 0.3
  expect_title "$frame" "Voruta - ${drive_letter}:"
  xdotool key L
  choose_drive 10
  sleep 0.1
  # The old chart is gone at once.
  ! wait_chart "$view_x" "$view_y" 0 || e2e_fail "a box of the old chart stays during the rescan"
  xdotool key Escape
  expect_title "$frame" "Voruta"
  ;;
window)
  # During a scan of several seconds the title bar moves the frame, the
  # minimise button minimises it and a double click on its icon restores
  # it; the scan still ends with its chart. The close button during the
  # next scan ends the program.
  start_program
  mkdir -p "$tree_dir"/big/d{000..249}/e{00..99}
  frame=$(start_scan)
  sleep 0.5
  ! wait_chart "$view_x" "$view_y" 0 || e2e_fail "the scan ended too soon to test"
  frame_geometry "$frame"
  drag $((frame_x + 200)) $((frame_y + 10)) $((frame_x + 300)) $((frame_y + 60))
  was_x=$frame_x
  frame_geometry "$frame"
  [ "$frame_x" -eq $((was_x + 100)) ] || e2e_fail "the title bar did not move the frame ($was_x to $frame_x)"
  # A double click on the title bar maximises and the next restores, the
  # two clicks 60 ms apart: the scan takes its input every 50 ms or so.
  for want in maximises restores; do
    was_w=$frame_w
    xdotool mousemove $((frame_x + 200)) $((frame_y + 10)) click --repeat 2 --delay 60 1
    sleep 0.3
    frame_geometry "$frame"
    [ "$frame_w" -ne "$was_w" ] || e2e_fail "a double click on the title bar did not ${want%s} the frame"
  done
  ! wait_chart $((frame_x + view_x)) $((frame_y + view_y)) 0 || e2e_fail "the scan ended too soon to test"
  # The caption's buttons, right to left: close, maximise, minimise.
  click_at $((frame_x + frame_w - 48)) $((frame_y + 11))
  sleep 0.5
  frame_geometry "$frame"
  [ "$frame_h" -lt 100 ] || e2e_fail "the minimise button did not minimise the frame (height $frame_h)"
  xdotool mousemove $((frame_x + 30)) $((frame_y + 8)) click --repeat 2 --delay 80 1
  sleep 0.5
  frame_geometry "$frame"
  [ "$frame_h" -gt 400 ] || e2e_fail "a double click did not restore the frame (height $frame_h)"
  wait_chart $((frame_x + view_x)) $((frame_y + view_y)) 60 || e2e_fail "the scan did not end with the drive's chart"
  xdotool key L
  choose_drive 10
  sleep 0.5
  frame_geometry "$frame"
  click_at $((frame_x + frame_w - 15)) $((frame_y + 11))
  for _ in $(seq 1 60); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.05
  done
  ! kill -0 "$app_pid" 2>/dev/null || e2e_fail "the close button did not end the program within 3 s"
  ;;
names)
  # Names the code page cannot carry, in the title as spelled on disk.
  start_program
  mkdir -p "$tree_dir/Ünïcödé/表/café"
  frame=$(pick_drive)
  root="${drive_letter}:\\"
  xdotool key Right Right
  for _ in 1 2 3 4 5; do
    [ "$(title_of "$frame")" = "Voruta - ${root}Ünïcödé\\" ] && break
    xdotool key Down
    sleep 0.1
  done
  expect_title "$frame" "Voruta - ${root}Ünïcödé\\"
  xdotool key Right
  expect_title "$frame" "Voruta - ${root}Ünïcödé\\表\\"
  xdotool key Right
  expect_title "$frame" "Voruta - ${root}Ünïcödé\\表\\café\\"
  ;;
dialog)
  start_program
  frame=$(pick_drive)
  xdotool key Right
  expect_title "$frame" "Voruta - ${drive_letter}:\\"
  xdotool key L
  dialog=$(wait_window '^ドライブ選択$' 10) || e2e_fail "L did not open the drive dialog"
  wait_focus "$dialog" || true
  xdotool key Escape
  wait_gone '^ドライブ選択$' || e2e_fail "Escape did not cancel the dialog"
  expect_title "$frame" "Voruta - ${drive_letter}:\\"
  xdotool key ctrl+c ctrl+Insert
  sleep 0.3
  kill -0 "$app_pid" || e2e_fail "the program ended"
  expect_title "$frame" "Voruta - ${drive_letter}:\\"
  ;;
bars)
  start_program
  frame=$(pick_drive)
  frame_geometry "$frame"
  bar=$(region_digest 0 44 300 20)
  status=$(region_digest 0 $((frame_h - 22)) 300 18)
  region_has 0 44 300 20 "$yellow" || e2e_fail "no tool bar at the top"
  xdotool key alt+v t
  for _ in $(seq 1 40); do region_has 0 44 300 20 "$yellow" || break; sleep 0.05; done
  region_has 0 44 300 20 "$yellow" && e2e_fail "the tool bar did not hide"
  xdotool key alt+v t
  sleep 0.5
  [ "$(region_digest 0 44 300 20)" = "$bar" ] || e2e_fail "the tool bar did not come back"
  xdotool key alt+v s
  sleep 0.5
  [ "$(region_digest 0 $((frame_h - 22)) 300 18)" != "$status" ] || e2e_fail "the status bar did not hide"
  xdotool key alt+v s
  sleep 0.5
  [ "$(region_digest 0 $((frame_h - 22)) 300 18)" = "$status" ] || e2e_fail "the status bar did not come back"
  ;;
docking)
  start_program
  frame=$(pick_drive)
  # Drag the tool bar by its gripper to the frame's left edge.
  drag 8 54 10 300
  region_has 60 44 240 20 "$yellow" && e2e_fail "the tool bar is still at the top"
  region_has 0 60 40 300 "$yellow" || e2e_fail "the tool bar is not on the left"
  # Drag it off into a window of its own in the middle of the chart.
  drag 16 47 400 300
  region_has 0 60 40 300 "$yellow" && e2e_fail "the tool bar is still on the left"
  region_has 300 250 400 150 "$yellow" || e2e_fail "the tool bar does not float"
  # Its folder button opens the drive dialog; while that runs, a second
  # click opens no second one.
  click_at 415 330
  wait_window '^ドライブ選択$' 10 >/dev/null || e2e_fail "the floating folder button opened no dialog"
  click_at 415 330
  sleep 0.5
  [ "$(xdotool search --onlyvisible --name '^ドライブ選択$' | wc -l)" = 1 ] || e2e_fail "a second drive dialog opened"
  xdotool key Escape
  wait_gone '^ドライブ選択$' || e2e_fail "the drive dialog stayed open"
  # A click on the floating bar leaves the keys with the chart.
  click_at 420 301
  sleep 0.5
  xdotool key Right
  expect_title "$frame" "Voruta - ${drive_letter}:\\"
  xdotool key Left
  expect_title "$frame" "Voruta - ${drive_letter}:"
  region_has 300 250 400 150 "$yellow" || e2e_fail "the floating bar went behind the frame"
  # A click on the frame leaves its floating bar above it.
  click_at $((view_x + 50)) $((view_y + 300))
  sleep 0.5
  region_has 300 250 400 150 "$yellow" || e2e_fail "the frame covered its floating bar"
  # Its window dragged by the caption to the frame's right edge docks there.
  drag 420 301 758 300
  region_has 300 250 400 150 "$yellow" && e2e_fail "the tool bar still floats"
  region_has 720 60 44 400 "$yellow" || e2e_fail "the tool bar is not on the right"
  ;;
about)
  start_program
  frame=$(pick_drive)
  xdotool key alt+f a
  about=$(wait_window '^Vorutaのﾊﾞｰｼﾞｮﾝ情報$' 10) || e2e_fail "the about box did not open"
  wait_focus "$about" || true
  xdotool key Return
  wait_gone '^Vorutaのﾊﾞｰｼﾞｮﾝ情報$' || e2e_fail "the about box did not close"
  expect_title "$frame" "Voruta - ${drive_letter}:"
  ;;
exit)
  start_program
  frame=$(pick_drive)
  xdotool key alt+f x
  for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$app_pid" 2>/dev/null && e2e_fail "the program did not end"
  app_pid=""
  ;;
*)
  e2e_fail "unknown case $case_name"
  ;;
esac
echo "PASS: $case_name"
